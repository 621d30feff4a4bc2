// The window's UserInterface with real Qt dialogs: standard texts in Portuguese,
// choosers that add their default extension, the "Continuar"/"Cancelar" question.
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

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
