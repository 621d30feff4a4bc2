// The "Indícios" tab: the indicators of the window's own validation, in a table
// driven offscreen with the mouse and the keyboard.
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include "app/findings_view.h"
#include "app/indicators_view.h"
#include "app/main_window.h"
#include "app/qt_text.h"
#include "app/record_view.h"
#include "app_fixture.h"
#include "support/files.h"
#include "support/generated_lines.h"
#include "support/sample_files.h"
#include "support/scripted_ui.h"

namespace tavex::testing {
namespace {

using app::IndicatorsModel;
using app::MainWindow;

class IndicatorsTab : public WindowTest {
 protected:
  // exemplos/tdm_indicios.txt (one alert and three pieces of information), read
  // and validated through the window's buttons, the window on screen and active.
  std::unique_ptr<MainWindow> validatedExample() {
    writeFile(dir.file("indicios.txt"), readFile(std::string(TAVEX_SOURCE_DIR) + "/exemplos/tdm_indicios.txt"));
    auto window = std::make_unique<MainWindow>(ui, dir.path().string());
    ui.answer(dir.file("indicios.txt"));
    window->button("lerRegistroSalvo")->click();
    window->button("validarArquivoTexto")->click();
    window->resize(1024, 768);
    window->show();
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->tabs()->setCurrentWidget(window->indicators());
    return window;
  }
  static QTableView* table(MainWindow& w) { return w.findChild<QTableView*>("tabelaIndicios"); }
  static QString cell(QTableView* t, int row, int column) { return t->model()->index(row, column).data().toString(); }
  static int rowOfLine(QTableView* t, int line) {
    for (int row = 0; row < t->model()->rowCount(); ++row)
      if (t->model()->index(row, IndicatorsModel::LineColumn).data().toInt() == line) return row;
    return -1;
  }
  static QString heading(MainWindow& w) { return w.record()->heading()->text(); }
  TempDir dir;
  ScriptedUserInterface ui;
};

TEST_F(IndicatorsTab, TheTitleCountsTheAlertsAndTheLevelFilterNarrowsTheRows) {
  auto window = validatedExample();
  QTabWidget* tabs = window->tabs();
  const int tab = tabs->indexOf(window->indicators());
  EXPECT_EQ(tab, tabs->indexOf(window->findings()) + 1);  // beside "Achados"
  EXPECT_EQ(tabs->tabText(tab), QString::fromUtf8("Indícios (1)"));
  QTableView* t = table(*window);
  ASSERT_EQ(t->model()->rowCount(), 4);
  // Alerts first, then the information in line order.
  EXPECT_EQ(cell(t, 0, IndicatorsModel::LevelColumn), "Alerta");
  EXPECT_EQ(cell(t, 0, IndicatorsModel::CodeColumn), "indicio.contadores.e11");
  EXPECT_EQ(cell(t, 0, IndicatorsModel::LineColumn), "12");
  EXPECT_EQ(cell(t, 0, IndicatorsModel::ExpectedColumn), "28 ou mais");
  EXPECT_EQ(cell(t, 0, IndicatorsModel::FoundColumn), "25");
  EXPECT_TRUE(cell(t, 0, IndicatorsModel::MessageColumn).startsWith("COO do E11 (25)"));
  EXPECT_EQ(cell(t, 1, IndicatorsModel::CodeColumn), "indicio.data.reducao_tardia");
  EXPECT_EQ(cell(t, 1, IndicatorsModel::LevelColumn), QString::fromUtf8("Informação"));
  EXPECT_EQ(cell(t, 1, IndicatorsModel::CrzColumn), "2");
  EXPECT_EQ(cell(t, 1, IndicatorsModel::CooColumn), "14");
  EXPECT_EQ(cell(t, 3, IndicatorsModel::CodeColumn), "indicio.cancelamentos");
  EXPECT_EQ(cell(t, 3, IndicatorsModel::MessageColumn),
            app::fromCp1252(window->model().lastIndicators.back().sentence));  // accents intact

  auto* level = window->indicators()->findChild<QComboBox*>("filtroNivel");
  ASSERT_NE(level, nullptr);
  level->setFocus();
  QTest::keyClick(level, Qt::Key_Down);  // "Só alertas"
  ASSERT_EQ(t->model()->rowCount(), 1);
  EXPECT_EQ(cell(t, 0, IndicatorsModel::CodeColumn), "indicio.contadores.e11");
  QTest::keyClick(level, Qt::Key_Down);  // "Só informações"
  ASSERT_EQ(t->model()->rowCount(), 3);
  for (int row = 0; row < 3; ++row) EXPECT_EQ(cell(t, row, IndicatorsModel::LevelColumn), QString::fromUtf8("Informação"));
  QTest::keyClick(level, Qt::Key_Home);  // all again
  EXPECT_EQ(t->model()->rowCount(), 4);

  // A click on a header sorts by that column, a second one reverses it.
  QHeaderView* header = t->horizontalHeader();
  const QPoint coo(header->sectionViewportPosition(IndicatorsModel::CooColumn) + 5, header->height() / 2);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, coo);
  const auto column = [t](int c) {
    QStringList values;
    for (int row = 0; row < t->model()->rowCount(); ++row) values << cell(t, row, c);
    return values;
  };
  EXPECT_EQ(column(IndicatorsModel::CooColumn), (QStringList{"", "14", "21", "28"}));
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, coo);
  EXPECT_EQ(column(IndicatorsModel::CooColumn), (QStringList{"28", "21", "14", ""}));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(IndicatorsTab, DoubleClickAndEnterShowTheIndicatorsLineInRegistro) {
  auto window = validatedExample();
  QTableView* t = table(*window);
  const int intervention = rowOfLine(t, 15);
  ASSERT_GE(intervention, 0);
  const QPoint at = t->visualRect(t->model()->index(intervention, IndicatorsModel::MessageColumn)).center();
  QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, at);  // a user's double click presses first
  QTest::mouseDClick(t->viewport(), Qt::LeftButton, {}, at);
  ASSERT_EQ(window->tabs()->currentWidget(), window->record());
  EXPECT_TRUE(heading(*window).startsWith("Linha 15: E12")) << heading(*window).toStdString();

  // Enter on another row shows its line, and the key goes no further.
  window->tabs()->setCurrentWidget(window->indicators());
  const int e11 = rowOfLine(t, 12);
  ASSERT_GE(e11, 0);
  QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualRect(t->model()->index(e11, 0)).center());
  ASSERT_TRUE(t->hasFocus());
  QTest::keyClick(t, Qt::Key_Return);
  ASSERT_EQ(window->tabs()->currentWidget(), window->record());
  EXPECT_TRUE(heading(*window).startsWith("Linha 12: E11")) << heading(*window).toStdString();
  EXPECT_TRUE(window->record()->isAncestorOf(QApplication::focusWidget()));
  EXPECT_TRUE(window->isVisible());
  // Escape and Enter in the table never end the program.
  window->tabs()->setCurrentWidget(window->indicators());
  t->setFocus();
  QTest::keyClick(t, Qt::Key_Escape);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->tabs()->currentWidget(), window->indicators());
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(IndicatorsTab, ResultsOfAnotherFileAreMarkedAndACleanRunEmptiesTheTab) {
  auto window = validatedExample();
  QTabWidget* tabs = window->tabs();
  const int tab = tabs->indexOf(window->indicators());
  auto* origin = window->indicators()->findChild<QLabel*>("origem");
  ASSERT_NE(origin, nullptr);
  const QString first = app::fromPath(dir.file("indicios.txt"));
  EXPECT_EQ(origin->text(), QString::fromUtf8("Arquivo: %1 · Tolerância: R$ 0,00").arg(first));
  EXPECT_TRUE(tabs->tabIcon(tab).isNull());

  writeFile(dir.file("outro.txt"), joinLines(sampleTdmFile()));
  ui.answer(dir.file("outro.txt"));
  window->button("lerRegistroSalvo")->click();
  EXPECT_TRUE(origin->text().contains(first));
  EXPECT_TRUE(origin->text().contains(
      QString::fromUtf8("NÃO do arquivo aberto agora (%1)").arg(app::fromPath(dir.file("outro.txt")))))
      << origin->text().toStdString();
  EXPECT_FALSE(tabs->tabIcon(tab).isNull());
  EXPECT_EQ(table(*window)->model()->rowCount(), 4);  // still the old file's, marked as such

  // A format-only run reads no counters: the tab is emptied, not left with the old file's.
  window->button("validarFormato")->click();
  EXPECT_EQ(tabs->tabText(tab), QString::fromUtf8("Indícios"));
  EXPECT_EQ(table(*window)->model()->rowCount(), 0);
  EXPECT_EQ(origin->text(), QString::fromUtf8("Arquivo: %1").arg(app::fromPath(dir.file("outro.txt"))));
  EXPECT_TRUE(tabs->tabIcon(tab).isNull());
}

// A reduction redated: its documents off its day are one row, the lines it spans
// in the "Linha" column and each document in the row's tooltip.
TEST_F(IndicatorsTab, TheDocumentsOfOneCauseAreOneRowWithEachBehindIt) {
  GeneratorOptions options;
  options.reductions = 3;
  options.couponsPerReduction = 3;
  auto lines = generatedLines(options);
  for (std::string& line : lines)
    if (line.starts_with("E12") && leadingInt(fieldOf(line, E12::Crz)) == 2)
      setField(line, E12::DataMovimento, 20120104);
  writeFile(dir.file("redatada.txt"), joinLines(lines));
  MainWindow window(ui, dir.path().string());
  ui.answer(dir.file("redatada.txt"));
  QTest::mouseClick(window.button("lerRegistroSalvo"), Qt::LeftButton);
  QTest::mouseClick(window.button("validarArquivoTexto"), Qt::LeftButton);
  QTableView* t = table(window);
  int row = 0;
  while (row < t->model()->rowCount() && cell(t, row, IndicatorsModel::CodeColumn) != "indicio.documento.fora_do_dia") ++row;
  ASSERT_LT(row, t->model()->rowCount());
  EXPECT_EQ(cell(t, row, IndicatorsModel::LineColumn), QString::fromUtf8("42–86"));
  const QString tip = t->model()->index(row, IndicatorsModel::MessageColumn).data(Qt::ToolTipRole).toString();
  EXPECT_EQ(tip.count(QString::fromUtf8("\nLinha ")), 4) << tip.toStdString();
}

}  // namespace
}  // namespace tavex::testing
