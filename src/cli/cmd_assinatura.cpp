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
  const std::optional<ParsedArgs> parsed = parseArgs(args, {{"--fabricante", true}, {"--modelo", true}}, kUsage);
  if (!parsed) return kCannotRun;
  if (parsed->help) {
    std::fputs(kUsage, stdout);
    return kOk;
  }
  if (parsed->positional.empty()) return usageError(kUsage, "informe o arquivo assinado");
  if (parsed->positional.size() > 1) return usageError(kUsage, "mais de um arquivo informado");
  const std::optional<std::string> manufacturerGiven = parsed->value("--fabricante");
  if (!manufacturerGiven) return usageError(kUsage, "informe o fabricante (--fabricante NOME)");
  const std::string& path = parsed->positional[0];
  const std::string& manufacturer = *manufacturerGiven;
  const std::string model = utf8ToCp1252(parsed->value("--modelo").value_or(""));

  TerminalUserInterface ui;
  ManufacturerCatalogue catalogue;
  catalogue.loadCatalogue(ui, ".");
  if (!requireManufacturer(catalogue, manufacturer)) return kCannotRun;
  ui.queueAnswer(path);
  const auto verdict =
      verifyEadSignature(ui, [&] { return catalogue.rsaKeyOfSelection(ui, manufacturer, model); });
  return exitStatusOf(verdict);
}

}  // namespace tavex::cli
