#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/terminal_ui.h"
#include "cotepe/text.h"
#include "signature/paf_signature.h"

namespace tavex::cli {

int exitStatusOf(const std::optional<SignatureVerdict>& verdict);  // cmd_assinatura.cpp

namespace {

const char* const kUsage =
    "Uso: tavex-cli paf ARQUIVO --software-house NOME\n"
    "     tavex-cli paf --listar\n"
    "\n"
    "Verifica a assinatura digital (registro EAD) do arquivo ARQUIVO gerado por um\n"
    "PAF-ECF com a chave pública da software house NOME, lida de ./SHouse/NOME.xml.\n"
    "--listar mostra as software houses de ./SHouse/, como a lista da janela.\n"
    "\n"
    "Saída: 0 assinatura válida, 1 assinatura inválida ou sem registro EAD,\n"
    "2 quando não foi possível verificar (chave ausente, arquivo ilegível).\n";

}  // namespace

int runPaf(const Args& args) {
  const std::optional<ParsedArgs> parsed = parseArgs(args, {{"--software-house", true}, {"--listar", false}}, kUsage);
  if (!parsed) return kCannotRun;
  if (parsed->help) {
    std::fputs(kUsage, stdout);
    return kOk;
  }
  if (parsed->positional.size() > 1) return usageError(kUsage, "mais de um arquivo informado");
  const std::string path = parsed->positional.empty() ? "" : parsed->positional[0];
  const std::optional<std::string> houseGiven = parsed->value("--software-house");
  const std::string house = utf8ToCp1252(houseGiven.value_or(""));
  const bool list = parsed->has("--listar");

  TerminalUserInterface ui;
  if (list) {
    if (!path.empty() || houseGiven) return usageError(kUsage, "--listar não leva arquivo nem software house");
    std::string out;
    for (const std::string& name : listSoftwareHouses(ui)) out += name + "\n";
    printCp1252(out);
    return kOk;
  }
  if (path.empty()) return usageError(kUsage, "informe o arquivo assinado");
  if (!houseGiven) return usageError(kUsage, "informe a software house (--software-house NOME)");

  ui.queueAnswer(path);
  return exitStatusOf(validatePafSignature(ui, house));
}

}  // namespace tavex::cli
