#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/terminal_ui.h"
#include "cotepe/text.h"
#include "printer/manufacturer_catalogue.h"
#include "signature/ead_verification.h"

namespace tavex::cli {

namespace {

const char* const kUsage =
    "Uso: tavex-cli assinatura ARQUIVO --fabricante NOME [--modelo NOME]\n"
    "\n"
    "Verifica a assinatura digital (registro EAD) do arquivo COTEPE ARQUIVO com a\n"
    "chave pública do fabricante NOME do catálogo da pasta atual (NOME/NOME.xml) ou,\n"
    "quando o fabricante tem uma chave por modelo, com a do modelo informado.\n"
    "\n"
    "Saída: 0 assinatura válida, 1 assinatura inválida ou sem registro EAD,\n"
    "2 quando não foi possível verificar (chave ausente, arquivo ilegível).\n";

}  // namespace

// Exit status of a signature verdict, shared with "paf".
int exitStatusOf(const std::optional<SignatureVerdict>& verdict) {
  if (!verdict) return kCannotRun;
  switch (*verdict) {
    case SignatureVerdict::Valid:
      return kOk;
    case SignatureVerdict::Invalid:
    case SignatureVerdict::NoSignatureRecord:
      return kFound;
    case SignatureVerdict::CannotOpen:
      return kCannotRun;
  }
  return kCannotRun;
}

int runAssinatura(const Args& args) {
  if (wantsHelp(args)) {
    std::fputs(kUsage, stdout);
    return kOk;
  }
  std::string path, manufacturer, model;
  bool manufacturerGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--fabricante" || args[i] == "--modelo") {
      if (i + 1 >= args.size()) return usageError(kUsage, args[i] + " precisa de um valor");
      if (args[i] == "--fabricante") {
        manufacturer = args[++i];
        manufacturerGiven = true;
      } else {
        model = utf8ToCp1252(args[++i]);
      }
    } else if (args[i].starts_with("--")) {
      return usageError(kUsage, "opção desconhecida: " + args[i]);
    } else if (path.empty()) {
      path = args[i];
    } else {
      return usageError(kUsage, "mais de um arquivo informado");
    }
  }
  if (path.empty()) return usageError(kUsage, "informe o arquivo assinado");
  if (!manufacturerGiven) return usageError(kUsage, "informe o fabricante (--fabricante NOME)");

  TerminalUserInterface ui;
  ManufacturerCatalogue catalogue;
  catalogue.loadCatalogue(ui, ".");
  ui.queueAnswer(path);
  const auto verdict = verifyEadSignature(ui, [&]() -> std::optional<RsaPublicKey> {
    const std::optional<ModelKey> key = catalogue.keyOfSelection(ui, manufacturer, model);
    if (!key) return std::nullopt;
    return RsaPublicKey{key->modulus, key->exponent, key->wellFormed};
  });
  return exitStatusOf(verdict);
}

}  // namespace tavex::cli
