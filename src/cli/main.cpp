// tavex-cli: the file work of Tavex for scripts and batch audits.
#include <csignal>
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cotepe/text.h"
#include "tavex_version.h"
#include "platform/platform.h"

namespace tavex::cli {

namespace {

const Command kCommands[] = {
    {"validar", "validar ARQUIVO|PASTA... [--tolerancia TEXTO] [--formato] [--continuar] [--json] [--jobs N] [--resumo CSV]",
     runValidar},
    {"conciliar",
     "conciliar ARQUIVO [--tolerancia TEXTO] [--continuar] [--csv|--json]\n"
     "    conciliar MF MFD [--tolerancia TEXTO] [--continuar] [--csv|--json]",
     runConciliar},
    {"relatorio", "relatorio ARQUIVO|PASTA... [--tolerancia TEXTO] [--continuar] --saida RELATORIO.html", runRelatorio},
    {"indicios", "indicios ARQUIVO|PASTA... [--limite-cancelamentos P] [--json|--csv] [--continuar]", runIndicios},
    {"efd", "efd ARQUIVO|PASTA... [--tolerancia TEXTO] [--continuar] [--json|--csv]", runEfd},
    {"fabricantes", "fabricantes [PASTA]", runFabricantes},
    {"exportar-csv", "exportar-csv ARQUIVO PASTA", runExportarCsv},
    {"exportar-mdb", "exportar-mdb ARQUIVO PASTA [--fabricante NOME]", runExportarMdb},
    {"separar", "separar ARQUIVO", runSeparar},
    {"assinatura", "assinatura ARQUIVO --fabricante NOME [--modelo NOME]", runAssinatura},
    {"paf", "paf ARQUIVO --software-house NOME\n    paf --listar", runPaf},
    {"assinar", "assinar ARQUIVO --chave-privada CHAVE.pem [--paf] [--substituir]", runAssinar},
    {"servir", "servir [PASTA] [--porta N] [--sem-navegador]", runServir},
    {"exportar-pg", "exportar-pg ARQUIVO|PASTA... [--url URL] [--pular-existentes] [--validar]", runExportarPg},
};

void printGeneralHelp(std::FILE* out) {
  std::fputs("Uso: tavex-cli COMANDO [ARGUMENTOS]\n\nComandos:\n", out);
  for (const Command& c : kCommands) std::fprintf(out, "  %s\n", c.synopsis);
  std::fputs("\nUse \"tavex-cli COMANDO --help\" para a ajuda de um comando e\n"
             "\"tavex-cli --version\" para a versão.\n", out);
}

}  // namespace

}  // namespace tavex::cli

int main(int argc, char** argv) {
  using namespace tavex::cli;
  // Past a file-size limit a write must fail and be reported (exit 2), not kill
  // the process halfway through a file.
  tavex::platform::ignoreFileSizeLimit();
  tavex::platform::prepareStandardStreams();
  Args args(argv + 1, argv + argc);
  if (args.empty()) {
    printGeneralHelp(stderr);
    return kCannotRun;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "ajuda") {
    printGeneralHelp(stdout);
    return finishStandardOutput(kOk);
  }
  if (args[0] == "--version" || args[0] == "-V") {
    std::printf("tavex-cli %s\n", tavex::kVersion);
    return finishStandardOutput(kOk);
  }
  const std::string name = args[0];
  args.erase(args.begin());
  for (const Command& c : kCommands)
    if (name == c.name) return finishStandardOutput(c.run(args));
  std::fprintf(stderr, "tavex-cli: comando desconhecido: %s\n\n", tavex::visibleText(name).c_str());
  printGeneralHelp(stderr);
  return kCannotRun;
}
