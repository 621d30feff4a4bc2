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
  if (wantsHelp(args)) {
    std::fputs(kUsage, stdout);
    return kOk;
  }
  std::string path, house;
  bool houseGiven = false, list = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--software-house") {
      if (i + 1 >= args.size()) return usageError(kUsage, "--software-house precisa de um valor");
      house = utf8ToCp1252(args[++i]);
      houseGiven = true;
    } else if (args[i] == "--listar") {
      list = true;
    } else if (args[i].starts_with("--")) {
      return usageError(kUsage, "opção desconhecida: " + args[i]);
    } else if (path.empty()) {
      path = args[i];
    } else {
      return usageError(kUsage, "mais de um arquivo informado");
    }
  }

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
