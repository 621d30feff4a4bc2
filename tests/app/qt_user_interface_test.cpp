// The window's UserInterface with real Qt dialogs: standard texts in Portuguese,
// choosers that add their default extension, the "Continuar"/"Cancelar" question.
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>

#include "app/qt_text.h"
#include "app/qt_user_interface.h"
#include "app_fixture.h"
#include "cotepe/text.h"
#include "support/files.h"

namespace tavex::testing {
namespace {

class QtDialogs : public WindowTest {
 protected:
  app::QtUserInterface ui;
  TempDir dir;
};

// What the user sees in a standard dialog is Portuguese when Qt's translations
// are installed (Debian's qt6-translations-l10n).
TEST_F(QtDialogs, StandardButtonsAndChoosersSpeakPortuguese) {
  if (!app::installPortugueseTranslations()) GTEST_SKIP() << "qtbase_pt_BR.qm is not installed";
  QDialogButtonBox buttons(QDialogButtonBox::Open | QDialogButtonBox::Cancel);
  EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text().remove('&'), "Cancelar");
  EXPECT_EQ(buttons.button(QDialogButtonBox::Open)->text().remove('&'), "Abrir");

  QString lookIn, fileName;
  whenModalOpens([&](QWidget* modal) {
    lookIn = modal->findChild<QLabel*>("lookInLabel")->text();
    fileName = modal->findChild<QLabel*>("fileNameLabel")->text();
    qobject_cast<QDialog*>(modal)->reject();
  });
  EXPECT_EQ(ui.chooseOpenFile({"*.txt", "", "Arquivos Texto (*.txt)|*.txt||", true}), std::nullopt);
  EXPECT_FALSE(lookIn.isEmpty());
  EXPECT_NE(lookIn, "Look in:");
  EXPECT_NE(fileName.remove('&'), "File name:");
}

// Typing a name without its extension opens the file with the chooser's default one.
TEST_F(QtDialogs, ATypedNameGetsTheDefaultExtension) {
  writeFile(dir.file("ecf.txt"), "E01\r\n");
  whenModalOpens([&](QWidget* modal) {
    auto* chooser = qobject_cast<QFileDialog*>(modal);
    chooser->setDirectory(app::fromPath(dir.path().string()));
    chooser->findChild<QLineEdit*>("fileNameEdit")->setText("ecf");
    static_cast<QDialog*>(chooser)->accept();  // as the "Abrir" button does
  });
  EXPECT_EQ(ui.chooseOpenFile({"*.txt", "", "Arquivos Texto (*.txt)|*.txt||", true}), dir.file("ecf.txt"));
  EXPECT_EQ(app::qtDefaultSuffixOf("*.mfd"), "mfd");
}

// A save chooser carries its own title and asks before it replaces a file.
TEST_F(QtDialogs, ASaveChooserAsksBeforeReplacingAFile) {
  writeFile(dir.file("outro.log"), "log de outro arquivo");
  const OpenFileRequest request{"*.log", "", "Arquivos de log (*.log)|*.log||", false, true, "Salvar log como"};
  const auto pick = [&](QMessageBox::StandardButton answer, QString* title, QString* question) {
    whenModalOpens([=, this](QWidget* modal) {
      auto* chooser = qobject_cast<QFileDialog*>(modal);
      ASSERT_NE(chooser, nullptr);
      *title = chooser->acceptMode() == QFileDialog::AcceptSave ? chooser->windowTitle() : QString();
      chooser->setDirectory(app::fromPath(dir.path().string()));
      chooser->findChild<QLineEdit*>("fileNameEdit")->setText("outro.log");
      QTimer::singleShot(50, [=] {  // the question, if the chooser asks one
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
          *question = box->text();
          box->button(answer)->click();
        }
      });
      static_cast<QDialog*>(chooser)->accept();  // as the "Salvar" button does
      if (chooser->isVisible()) chooser->reject();  // replacing was refused: the user gives up
    });
  };
  QString title, question;
  pick(QMessageBox::No, &title, &question);
  EXPECT_EQ(ui.chooseOpenFile(request), std::nullopt);
  EXPECT_EQ(title, "Salvar log como");
  EXPECT_TRUE(question.contains("outro.log")) << question.toStdString();

  question.clear();
  pick(QMessageBox::Yes, &title, &question);
  EXPECT_EQ(ui.chooseOpenFile(request), dir.file("outro.log"));
  EXPECT_FALSE(question.isEmpty());
  EXPECT_EQ(readFile(dir.file("outro.log")), "log de outro arquivo");  // choosing writes nothing
}

// Picks `file` in the next chooser and tells in which folder the chooser opened.
QString chooseIn(app::QtUserInterface& ui, const std::string& file) {
  QString opened;
  whenModalOpens([&](QWidget* modal) {
    auto* chooser = qobject_cast<QFileDialog*>(modal);
    opened = chooser->directory().absolutePath();
    chooser->setDirectory(QFileInfo(app::fromPath(file)).absolutePath());
    chooser->findChild<QLineEdit*>("fileNameEdit")->setText(QFileInfo(app::fromPath(file)).fileName());
    static_cast<QDialog*>(chooser)->accept();
  });
  EXPECT_EQ(ui.chooseOpenFile({"*.txt", "", "Arquivos Texto (*.txt)|*.txt||", true}), file);
  return opened;
}

TEST_F(QtDialogs, ChoosersRememberTheirFolderAcrossRestarts) {
  std::filesystem::create_directories(dir.path() / "longe");
  writeFile(dir.file("longe/ecf.txt"), "E01\r\n");
  const QString settingsFile = app::fromPath(dir.file("tavex.ini"));
  const QString start = app::fromPath(std::filesystem::current_path().string());
  {
    QSettings settings(settingsFile, QSettings::IniFormat);
    ui.rememberFolders(&settings, start);
    chooseIn(ui, dir.file("longe/ecf.txt"));
  }
  QSettings again(settingsFile, QSettings::IniFormat);  // the next run of the program
  app::QtUserInterface next;
  next.rememberFolders(&again, start);
  EXPECT_EQ(chooseIn(next, dir.file("longe/ecf.txt")), app::fromPath(dir.file("longe")));

  // A command that moved into a manufacturer's working folder keeps the chooser there.
  std::filesystem::create_directories(dir.path() / "FAB");
  std::filesystem::current_path(dir.path() / "FAB");
  EXPECT_EQ(chooseIn(next, dir.file("longe/ecf.txt")), app::fromPath(dir.file("FAB")));
}

TEST_F(QtDialogs, ACorruptSettingsFileOnlyForgetsTheFolders) {
  static const char garbage[] = "\x00\xff[[[pastas\n=\x01";
  writeFile(dir.file("tavex.ini"), std::string(garbage, sizeof garbage - 1));
  writeFile(dir.file("ecf.txt"), "E01\r\n");
  QSettings settings(app::fromPath(dir.file("tavex.ini")), QSettings::IniFormat);
  ui.rememberFolders(&settings, app::fromPath(std::filesystem::current_path().string()));
  chooseIn(ui, dir.file("ecf.txt"));
  std::filesystem::create_directories(dir.path() / "ini");  // the settings path is a folder: nothing can be written
  QSettings unwritable(app::fromPath(dir.file("ini")), QSettings::IniFormat);
  ui.rememberFolders(&unwritable, app::fromPath(std::filesystem::current_path().string()));
  chooseIn(ui, dir.file("ecf.txt"));
}

TEST_F(QtDialogs, ADroppedFileIsTheNextChoosersDefault) {
  writeFile(dir.file("ecf.txt"), "E01\r\n");
  ui.suggestFile(app::fromPath(dir.file("ecf.txt")));
  QStringList selected;
  whenModalOpens([&](QWidget* modal) {
    selected = qobject_cast<QFileDialog*>(modal)->selectedFiles();
    static_cast<QDialog*>(modal)->reject();
  });
  ui.chooseOpenFile({"*.txt", "", "Arquivos Texto (*.txt)|*.txt||", true});
  EXPECT_EQ(selected, QStringList{app::fromPath(dir.file("ecf.txt"))});
}

TEST_F(QtDialogs, TheQuestionGoesOnOnlyWithContinuar) {
  for (const char* button : {"continuar", "cancelar"}) {
    QString text;
    whenModalOpens([&](QWidget* modal) {
      text = qobject_cast<QMessageBox*>(modal)->text();
      modal->findChild<QPushButton*>(button)->click();
    });
    EXPECT_EQ(ui.askToContinue("Continuar mesmo assim? Não"_cp, "Aviso!"), std::string(button) == "continuar");
    EXPECT_EQ(text, QString::fromUtf8("Continuar mesmo assim? Não"));
  }
}

}  // namespace
}  // namespace tavex::testing

namespace tavex::app {
namespace {

// Paths the user reads show the home folder as "~"; anything else, including a
// folder whose name merely begins like the home folder's, stays whole.
TEST(ShownPath, WritesTheHomeFolderAsATildeAndNothingElse) {
  const QString home = QDir::homePath();
  if (home.isEmpty() || home == "/") GTEST_SKIP() << "no home folder to abbreviate";
  EXPECT_EQ(shownPath(home), "~");
  EXPECT_EQ(shownPath(home + "/exemplos/tdm.txt"), "~/exemplos/tdm.txt");
  EXPECT_EQ(shownPath(home + "x/tdm.txt"), home + "x/tdm.txt");
  EXPECT_EQ(shownPath(QString("/outra/pasta")), "/outra/pasta");
  EXPECT_EQ(shownPath(std::string("relativo.txt")), "relativo.txt");
}

}  // namespace
}  // namespace tavex::app
