// A period dialog drawn from its description: typing selects a choice, "OK" runs
// the check and stays open on failure.
#include <QApplication>
#include <QButtonGroup>
#include <QFontMetrics>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "app/period_dialog.h"
#include "app_fixture.h"
#include "printer/period_dialogs.h"
#include "support/scripted_ui.h"

namespace tavex::testing {
namespace {

class PeriodDialogWindow : public WindowTest {};

TEST_F(PeriodDialogWindow, TypingSelectsTheChoiceAndOkChecks) {
  ScriptedUserInterface ui;
  app::PeriodDialog dialog(ui, printMfDialog());
  EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("Impressão da Leitura da Memória Fiscal"));
  EXPECT_EQ(dialog.choices()->checkedId(), 0);
  QLineEdit* crzStart = dialog.box(PeriodField::CrzStart);
  ASSERT_NE(crzStart, nullptr);
  QTest::keyClicks(crzStart, "12");
  EXPECT_EQ(dialog.choices()->checkedId(), 1);  // typing into a CRZ box selects "CRZ"
  EXPECT_EQ(dialog.state().answer().crzStart, "12");

  dialog.show();
  dialog.findChild<QPushButton*>("ok")->click();  // the final CRZ is missing
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].title, "Erro!");
  EXPECT_EQ(ui.messages[0].icon, Icon::Error);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_NE(dialog.result(), QDialog::Accepted);

  QTest::keyClicks(dialog.box(PeriodField::CrzEnd), "15");
  dialog.findChild<QCheckBox*>("simplificada")->setChecked(true);
  dialog.findChild<QPushButton*>("ok")->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.state().answer().crzEnd, "15");
  EXPECT_TRUE(dialog.state().answer().simplified);
}

TEST_F(PeriodDialogWindow, DisabledChoicesAndLongTexts) {
  ScriptedUserInterface ui;
  app::PeriodDialog dialog(ui, cotepeMfDialog(false, [](int group) { return group == 3; }));
  EXPECT_EQ(dialog.choices()->checkedId(), 3);  // only "Total" remains for group 3
  EXPECT_FALSE(dialog.choices()->button(0)->isEnabled());
  EXPECT_FALSE(dialog.choices()->button(1)->isEnabled());
  app::PeriodDialog dates(ui, printMfDialog());
  const QString huge(10000, QChar('9'));
  dates.box(PeriodField::DateStart)->setMaxLength(20000);
  QTest::keyClicks(dates.box(PeriodField::DateStart), huge.left(200));
  EXPECT_EQ(dates.state().answer().dateStart.size(), 200u);  // kept as typed
}

// Every member is wide enough for its whole title ("Impressão da Leitura da
// Memória Fiscal" was cut short).
TEST_F(PeriodDialogWindow, EveryDialogShowsItsWholeTitle) {
  ScriptedUserInterface ui;
  const auto none = [](int) { return false; };
  QFont titleFont = QApplication::font();
  titleFont.setBold(true);
  for (const PeriodDialogDescription& d : {printMfDialog(), readMfdDialog(), printMfdDialog(), espDialog(),
                                           cotepeMfDialog(false, none), cotepeMfdDialog(none), generateCotepeDialog()}) {
    app::PeriodDialog dialog(ui, d);
    dialog.show();
    const int needed = QFontMetrics(titleFont).horizontalAdvance(dialog.windowTitle()) + 100;
    EXPECT_GE(dialog.width(), needed) << d.name;
  }
}

}  // namespace
}  // namespace tavex::testing
