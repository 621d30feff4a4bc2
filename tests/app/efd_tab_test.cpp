// The "EFD" tab: the example ECF, validated in the window, set against its
// tampered EFD through "Confrontar com EFD…", then read with the mouse and keys.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

#include "app/efd_view.h"
#include "app/main_window.h"
#include "app/qt_text.h"
#include "app/record_view.h"
#include "app_fixture.h"
#include "support/files.h"
#include "support/scripted_ui.h"

namespace tavex::testing {
namespace {

using app::EfdRowsModel;

TEST_F(WindowTest, EfdTabListsFiltersAndOpensTheEcfRecordOfEachDivergence) {
  TempDir dir;
  ScriptedUserInterface ui;
  for (const char* name : {"ecf.txt", "efd_adulterada.txt"})
    writeFile(dir.file(name), readFile(std::string(TAVEX_SOURCE_DIR) + "/exemplos/efd/" + name));
  app::MainWindow window(ui, dir.path().string());
  window.resize(1366, 768);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  ui.answer(dir.file("ecf.txt"));
  QTest::mouseClick(window.button("lerRegistroSalvo"), Qt::LeftButton);
  QTest::mouseClick(window.button("validarArquivoTexto"), Qt::LeftButton);
  ui.answer(dir.file("efd_adulterada.txt"));
  ui.progressHandler = runJobToEnd();
  QTest::mouseClick(window.button("confrontarEfd"), Qt::LeftButton);
  ASSERT_TRUE(ui.messages.empty()) << ui.messages[0].text;

  app::EfdPanel* tab = window.efd();
  ASSERT_EQ(window.tabs()->currentWidget(), tab);
  const EfdReview& review = *window.efdWorkbench().last;
  const int alerts = static_cast<int>(review.alerts()), all = static_cast<int>(review.rows.size());
  ASSERT_GT(alerts, 0);
  EXPECT_EQ(window.tabs()->tabText(window.tabs()->indexOf(tab)), QString("EFD (%1)").arg(alerts));
  EXPECT_GT(tab->summary()->rowCount(), 0);
  EXPECT_EQ(tab->summary()->item(0, 1)->text(), app::fromCp1252(review.comparisons[0].ecfs[0].serial));
  QTableView* table = tab->table();
  ASSERT_EQ(table->model()->rowCount(), all);
  if (const QByteArray folder = qgetenv("TAVEX_SCREENSHOTS"); !folder.isEmpty()) {
    EXPECT_TRUE(window.grab().save(QString::fromUtf8(folder) + "/aba_efd.png"));
  }

  // The level filter, by keyboard, then the search.
  auto* level = tab->findChild<QComboBox*>("filtroNivelEfd");
  level->setFocus();
  QTest::keyClick(level, Qt::Key_Down);  // "Só alertas"
  ASSERT_EQ(table->model()->rowCount(), alerts);
  for (int row = 0; row < alerts; ++row)
    EXPECT_EQ(table->model()->index(row, EfdRowsModel::LevelColumn).data().toString(), "Alerta");
  QTest::keyClick(level, Qt::Key_Down);  // "Só informações"
  EXPECT_EQ(table->model()->rowCount(), all - alerts);
  QTest::keyClick(level, Qt::Key_Up);
  auto* search = tab->findChild<QLineEdit*>("buscaEfd");
  search->setFocus();
  QTest::keyClicks(search, "EFD_VENDA_BRUTA");
  ASSERT_GE(table->model()->rowCount(), 1);
  EXPECT_EQ(table->model()->index(0, EfdRowsModel::CodeColumn).data().toString(), "EFD_VENDA_BRUTA");

  // Enter in the search goes to the first row: its EFD line and its E12 beside the list.
  QTest::keyClick(search, Qt::Key_Return);
  ASSERT_TRUE(table->hasFocus());
  const QString line = table->model()->index(0, EfdRowsModel::EfdLineColumn).data().toString();
  EXPECT_TRUE(tab->efdLine()->toPlainText().contains(QString("linha %1:\n|C405|").arg(line)))
      << tab->efdLine()->toPlainText().toStdString();
  EXPECT_TRUE(tab->detail()->heading()->text().contains("E12")) << tab->detail()->heading()->text().toStdString();

  // Enter on the row opens the E12 in "Registro"; Escape clears the search.
  QTest::keyClick(table, Qt::Key_Return);
  ASSERT_EQ(window.tabs()->currentWidget(), window.record());
  EXPECT_TRUE(window.record()->heading()->text().contains(": E12")) << window.record()->heading()->text().toStdString();
  window.tabs()->setCurrentWidget(tab);
  search->setFocus();
  QTest::keyClick(search, Qt::Key_Escape);
  EXPECT_EQ(table->model()->rowCount(), alerts);

  // A double click on a coupon's divergence opens its E14.
  search->setFocus();
  QTest::keyClick(level, Qt::Key_Home);
  QTest::keyClicks(search, "CUPOM");
  int coupon = -1;
  for (int row = 0; row < table->model()->rowCount() && coupon < 0; ++row)
    if (!table->model()->index(row, EfdRowsModel::CooColumn).data().toString().isEmpty()) coupon = row;
  ASSERT_GE(coupon, 0);
  const QPoint at = table->visualRect(table->model()->index(coupon, EfdRowsModel::MessageColumn)).center();
  QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, at);
  ASSERT_EQ(window.tabs()->currentWidget(), window.record());
  EXPECT_TRUE(window.record()->heading()->text().contains(": E14")) << window.record()->heading()->text().toStdString();
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
}  // namespace tavex::testing
