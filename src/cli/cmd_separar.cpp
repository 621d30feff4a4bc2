#include <cstdio>

#include "cli/commands.h"
#include "cli/terminal_ui.h"
#include "export/file_split.h"

namespace tavex::cli {

namespace {

const char* const kUsage =
    "Uso: tavex-cli separar ARQUIVO\n"
    "\n"
    "Separa o arquivo COTEPE ARQUIVO em um arquivo por redução Z, ao lado dele\n"
    "(ARQUIVO sem extensão, seguido de _NNNN.txt), como o botão \"Separar Arquivo\" da\n"
    "janela. Arquivos gerados só da memória fiscal (MF) não podem ser separados.\n"
    "\n"
    "Saída: 0 separado, 1 quando o arquivo não tem redução Z a separar (ou é de MF),\n"
    "2 quando não foi possível separar.\n";

}  // namespace

int runSeparar(const Args& args) {
  if (wantsHelp(args)) {
    std::fputs(kUsage, stdout);
    return kOk;
  }
  const std::optional<Args> paths = pathsOnly(args, kUsage, 1, "informe o ARQUIVO");
  if (!paths) return kCannotRun;

  TerminalUserInterface ui;
  ui.queueAnswer((*paths)[0]);
  WorkerJob job;
  std::string currentFile;
  ConversionSession session{job, currentFile, ""};
  const std::optional<int> status = splitCotepeFile(ui, session);
  if (status == kSplitNoReduction || status == kSplitRefusedMf) return kFound;
  return status == kSplitDone && ui.errorMessagesShown() == 0 ? kOk : kCannotRun;
}

}  // namespace tavex::cli
