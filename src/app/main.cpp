// tavex: the desktop window.
#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>

#include "app/main_window.h"
#include "app/qt_user_interface.h"
#include "app/start_directory.h"
#include "tavex_install_paths.h"
#include "tavex_version.h"

namespace {

const char kHelp[] =
    "Uso: tavex [--version] [--help]\n\n"
    "Abre a janela do Tavex. A pasta inicial (catálogo de fabricantes, SHouse/,\n"
    "Manual_Tavex.pdf) é a pasta atual; o programa instalado, iniciado numa pasta\n"
    "sem catálogo, usa ~/.local/share/tavex (ou $XDG_DATA_HOME/tavex), criada e\n"
    "preenchida com o ECF simulado e os exemplos. O programa instalado acha o ECF\n"
    "simulado e o manual onde o pacote os instala, se a pasta inicial não os tiver.\n"
    "As opções do Qt vão com um hífen (-platform offscreen, -style fusion).\n";

// True when this binary is the installed one (not one of a build tree).
bool runsInstalled() {
  std::error_code ec;
  const std::filesystem::path self = QCoreApplication::applicationDirPath().toStdString();
  return std::filesystem::equivalent(self, tavex::kInstalledBinDir, ec);
}

}  // namespace

int main(int argc, char** argv) {
  bool quitAfterStart = false;  // for the package check: start, show, close
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--version" || arg == "-V") {
      std::printf("tavex %s\n", tavex::kVersion);
      return 0;
    }
    if (arg == "--help" || arg == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (arg == "--sair-apos-iniciar") {
      quitAfterStart = true;
    } else if (arg.starts_with("--")) {  // ours all have two dashes: a typo must not open the window
      std::fprintf(stderr, "tavex: opção desconhecida: %s\n\n%s", argv[i], kHelp);
      return 2;
    }
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName("Tavex");
  QApplication::setApplicationVersion(tavex::kVersion);
  QApplication::setDesktopFileName("tavex");
  QApplication::setWindowIcon(QIcon(":/tavex.svg"));
  tavex::app::installPortugueseTranslations();  // standard buttons and choosers

  namespace fs = std::filesystem;
  std::error_code ec;
  const tavex::app::InstalledData data{
      tavex::kInstalledExamples,
      {{"DATAREGIS/libecf_simulado.so", tavex::kInstalledSimulator}, {"Manual_Tavex.pdf", tavex::kInstalledManual}}};
  const bool installed = runsInstalled();
  const auto start = tavex::app::chooseStartDirectory(
      fs::current_path(ec), installed,
      tavex::app::userDataDirectory(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")), data);
  if (!start.problem.empty())
    std::fprintf(stderr, "tavex: não foi possível preparar a pasta do usuário (%s); a janela começa na pasta atual.\n",
                 start.problem.c_str());
  fs::current_path(start.directory, ec);  // relative names (the manual, the download time) resolve there
  if (quitAfterStart) std::printf("tavex: pasta inicial %s\n", start.directory.c_str());

  tavex::app::QtUserInterface ui;
  tavex::app::MainWindow window(ui, start.directory.string());
  // A start folder of the user's (a copy of the examples, say) may lack the
  // simulated ECF and the manual: the installed program finds them where the
  // package put them.
  if (installed)
    window.useInstalledFiles(fs::path(tavex::kInstalledSimulator).parent_path(), tavex::kInstalledManual);
  if (quitAfterStart) {  // what "Ajuda" and each model's library would open
    std::printf("tavex: manual %s\n", window.manualPath().toStdString().c_str());
    std::set<std::string> shown;
    for (const auto& entry : window.catalogue().entries())
      for (const auto& model : entry.models)
        if (shown.insert(entry.name + "/" + model.libraryFile).second)
          std::printf("tavex: biblioteca %s/%s: %s\n", entry.name.c_str(), model.libraryFile.c_str(),
                      window.catalogue().libraryFileOf(entry.name, model.libraryFile).c_str());
  }
  ui.setOwner(&window);
  window.show();
  if (quitAfterStart) QTimer::singleShot(0, &window, &tavex::app::MainWindow::reject);
  window.exec();
  return 0;
}
