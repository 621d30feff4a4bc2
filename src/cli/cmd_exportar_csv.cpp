#include <cstdio>

#include "cli/commands.h"
#include "cli/terminal_ui.h"
#include "export/csv_export.h"

namespace tavex::cli {

namespace {

const char* const kUsage =
    "Uso: tavex-cli exportar-csv ARQUIVO PASTA\n"
    "\n"
    "Converte o arquivo COTEPE ARQUIVO em E01.csv ... E21.csv na PASTA, como o botão\n"
    "\"Exportar CSV\" da janela (uma PASTA que já tem E01.csv é recusada; arquivos de\n"
    "outros tipos que já existam recebem as novas linhas no fim). A PASTA é criada\n"
    "quando não existe. Se a conversão falha, os arquivos que ela criou são apagados\n"
    "e os que já existiam voltam ao que eram. Num terminal, mostra o progresso;\n"
    "Ctrl-C interrompe entre dois registros.\n"
    "\n"
    "Saída: 0 convertido, 2 quando não foi possível converter.\n";

}  // namespace

int runExportarCsv(const Args& args) {
  if (wantsHelp(args)) {
    std::fputs(kUsage, stdout);
    return kOk;
  }
  const std::optional<Args> paths = pathsOnly(args, kUsage, 2, "informe o ARQUIVO e a PASTA");
  if (!paths) return kCannotRun;

  OutputFolder folder;
  if (!folder.prepare((*paths)[1])) return kCannotRun;
  TerminalUserInterface ui;
  ui.queueAnswer((*paths)[0]);
  ui.queueAnswer((*paths)[1]);
  WorkerJob job;
  std::string currentFile;
  ConversionSession session{job, currentFile, ""};
  const std::optional<int> status = exportCsv(ui, session);
  if (status == kCsvDone && ui.errorMessagesShown() == 0) return kOk;
  folder.removeIfEmpty();
  return kCannotRun;
}

}  // namespace tavex::cli
