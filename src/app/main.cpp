// tavex: the desktop window.
#include <QApplication>
#include <QIcon>
#include <filesystem>

#include "app/main_window.h"
#include "app/qt_user_interface.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("Tavex");
  QApplication::setDesktopFileName("tavex");
  QApplication::setWindowIcon(QIcon(":/tavex.svg"));
  tavex::app::installPortugueseTranslations();  // standard buttons and choosers
  tavex::app::QtUserInterface ui;
  std::error_code ec;
  const std::string startDirectory = std::filesystem::current_path(ec).string();
  tavex::app::MainWindow window(ui, startDirectory);
  ui.setOwner(&window);
  window.show();
  window.exec();
  return 0;
}
