#include <cstdio>
#include <filesystem>

#include "cli/commands.h"
#include "cli/terminal_ui.h"
#include "export/mdb_export.h"
#include "printer/manufacturer_catalogue.h"

namespace tavex::cli {

namespace {

const char* const kUsage =
    "Uso: tavex-cli exportar-mdb ARQUIVO PASTA\n"
    "     tavex-cli exportar-mdb ARQUIVO --fabricante NOME\n"
    "\n"
    "Carrega o arquivo COTEPE ARQUIVO num novo banco de dados SQLite, uma tabela por\n"
    "tipo de registro, como o botão \"Exportar MDB\" da janela. O arquivo se chama\n"
    "NUMERO-DE-FABRICACAO_AAAAMMDD_HHMMSS.MDB e fica na PASTA; com --fabricante, fica\n"
    "na pasta MDB desse fabricante (do catálogo da pasta atual: NOME/MDB/), e a PASTA,\n"
    "que a janela pede mas não usa, pode ser omitida. A pasta de saída é criada quando\n"
    "não existe. Um arquivo de mesmo nome nunca é sobrescrito. Os textos são gravados\n"
    "em UTF-8.\n"
    "\n"
    "Saída: 0 convertido, 2 quando não foi possível converter.\n";

}  // namespace

int runExportarMdb(const Args& args) {
  const std::optional<ParsedArgs> parsed = parseArgs(args, {{"--fabricante", true}}, kUsage);
  if (!parsed) return kCannotRun;
  if (parsed->help) {
    std::fputs(kUsage, stdout);
    return kOk;
  }
  const std::vector<std::string>& paths = parsed->positional;
  const std::optional<std::string> manufacturer = parsed->value("--fabricante");
  // With a manufacturer the database goes to its MDB folder: the folder the window
  // asks for only becomes the current directory, and may be left out.
  if (paths.size() != 2 && !(manufacturer && paths.size() == 1))
    return usageError(kUsage, manufacturer ? "informe o ARQUIVO" : "informe o ARQUIVO e a PASTA");

  TerminalUserInterface ui;
  WorkerJob job;
  std::string currentFile;
  ConversionSession session{job, currentFile, ""};
  if (manufacturer) {
    ManufacturerCatalogue catalogue;
    std::error_code ec;
    catalogue.loadCatalogue(ui, std::filesystem::current_path(ec));
    if (!requireManufacturer(catalogue, *manufacturer)) return kCannotRun;
    catalogue.selectManufacturer(*manufacturer);
    session.mdbDirectory = catalogue.mdbDirectory();
  }
  OutputFolder folder;
  if (!folder.prepare(manufacturer ? session.mdbDirectory : paths[1])) return kCannotRun;
  ui.queueAnswer(paths[0]);
  ui.queueAnswer(paths.size() == 2 ? paths[1] : ".");
  const std::optional<int> status = exportMdb(ui, session);
  if (status == kMdbDone && ui.errorMessagesShown() == 0) return kOk;
  folder.removeIfEmpty();
  return kCannotRun;
}

}  // namespace tavex::cli
