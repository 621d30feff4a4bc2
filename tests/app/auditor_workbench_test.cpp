// The window as an auditor's workbench: a command panel that stays put and folds
// away, the findings beside their records, values read as an auditor writes them,
// and the cause (a format error) before its consequences. Driven offscreen by key
// and mouse events on object names.
#include <QAction>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChartView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFrame>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QHeaderView>
#include <QTreeWidgetItemIterator>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <fstream>
#include <set>
#include <sstream>
#include <QLineEdit>

#include "app/findings_view.h"
#include "app/indicators_view.h"
#include "app/main_window.h"
#include "app/qt_text.h"
#include "app/reconciliation_view.h"
#include "app/record_view.h"
#include "app/result_table.h"
#include "app_fixture.h"
#include "generator.h"
#include "support/files.h"
#include "support/sample_files.h"
#include "support/scripted_ui.h"

namespace tavex::testing {
namespace {

using app::FindingsModel;
using app::MainWindow;

// The sample TDM file with its coupon (line 14) dated "2012AB01": one format error,
// after which the documents are not added up, so the totals disagree.
std::vector<std::string> badDate() {
  std::vector<std::string> lines = sampleTdmFile();
  lines[13] = sampleRecord(14, {{"CCF/CVC/CBP", "1"}, {"COO", "1"}, {"SUBTOTAL", "1000"}, {"TOTAL_LIQUIDO", "1000"},
                                {"DATA_INICIO", "2012AB01"}});
  return lines;
}

// A file's lines without their CR LF.
std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

class AuditorWorkbench : public WindowTest {
 protected:
  // The window at `size`, on screen and active, with `lines` read and validated.
  std::unique_ptr<MainWindow> shown(const std::vector<std::string>& lines, QSize size = {1366, 768}) {
    writeFile(dir.file("ecf.txt"), joinLines(lines));
    auto window = std::make_unique<MainWindow>(ui, dir.path().string());
    window->resize(size);
    window->show();
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    ui.answer(dir.file("ecf.txt"));
    QTest::mouseClick(window->button("lerRegistroSalvo"), Qt::LeftButton);
    QTest::mouseClick(window->button("validarArquivoTexto"), Qt::LeftButton);
    return window;
  }
  static QTableView* table(MainWindow& w) { return w.findings()->table(); }
  static void clickRow(QTableView* t, int row) {
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualRect(t->model()->index(row, 0)).center());
  }
  // Where a widget lies in its window.
  static QRect placeOf(QWidget* w) { return QRect(w->mapTo(w->window(), QPoint(0, 0)), w->size()); }
  TempDir dir;
  ScriptedUserInterface ui;
};

TEST_F(AuditorWorkbench, TheCommandPanelStaysPutWhateverTabIsShownAndFoldsAway) {
  auto window = shown(badDate());
  QTabWidget* tabs = window->tabs();
  std::vector<QRect> first;
  for (int tab = 0; tab < tabs->count(); ++tab) {
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(tab).center());
    ASSERT_EQ(tabs->currentIndex(), tab);
    QApplication::processEvents();
    std::vector<QRect> places;
    for (QPushButton* b : window->commandPanel()->findChildren<QPushButton*>())
      if (b->isVisible()) places.push_back(placeOf(b));
    if (tab == 0)
      first = places;
    else
      EXPECT_EQ(places, first) << "the buttons moved when tab " << tab << " was shown";
  }
  ASSERT_EQ(first.size(), 21u);  // every shown command button, "Validar Formato do Arquivo" is never shown
  // Maximised on a 1366x768 screen, the results take at least half the height.
  EXPECT_GE(tabs->height(), 768 / 2);

  // Folded to the strip beside the tabs: the results grow; unfolded, all comes back where it was.
  const int before = tabs->height();
  const QRect validatePlace = placeOf(window->button("validarArquivoTexto"));
  auto* fold = window->findChild<QToolButton*>("alternarComandos");
  ASSERT_NE(fold, nullptr);
  QTest::mouseClick(fold, Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_TRUE(window->commandsCollapsed());
  EXPECT_FALSE(window->commandPanel()->isVisible());
  EXPECT_GT(tabs->height(), before + 150);
  auto* validate = window->findChild<QToolButton*>("validarCompacto");
  ASSERT_TRUE(validate->isVisible());
  const std::string log = readFile(dir.file("ecf.txt.log"));
  std::filesystem::remove(dir.file("ecf.txt.log"));
  QTest::mouseClick(validate, Qt::LeftButton);  // the strip's own command works
  EXPECT_EQ(readFile(dir.file("ecf.txt.log")), log);
  QTest::mouseClick(fold, Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_TRUE(window->commandPanel()->isVisible());
  EXPECT_EQ(placeOf(window->button("validarArquivoTexto")), validatePlace);
  EXPECT_EQ(tabs->height(), before);
}

TEST_F(AuditorWorkbench, TheFoldedPanelIsRememberedAcrossStarts) {
  QSettings settings(app::fromPath(dir.file("tavex.ini")), QSettings::IniFormat);
  {
    MainWindow window(ui, dir.path().string());
    window.rememberLayoutIn(&settings);
    EXPECT_FALSE(window.commandsCollapsed());
    window.setCommandsCollapsed(true);
  }
  MainWindow again(ui, dir.path().string());  // the next start
  again.rememberLayoutIn(&settings);
  EXPECT_TRUE(again.commandsCollapsed());
  again.setCommandsCollapsed(false);
  MainWindow third(ui, dir.path().string());
  third.rememberLayoutIn(&settings);
  EXPECT_FALSE(third.commandsCollapsed());
}

TEST_F(AuditorWorkbench, SelectingAFindingShowsItsRecordBesideTheList) {
  std::vector<std::string> lines = sampleTdmFile();
  lines[1].replace(246, 6, "ABCDEF");  // E02 CRO (field 11), line 2
  lines[2].pop_back();                 // E03 too short, line 3
  auto window = shown(lines);
  QTest::mouseClick(window->tabs()->tabBar(), Qt::LeftButton, {},
                    window->tabs()->tabBar()->tabRect(window->tabs()->indexOf(window->findings())).center());
  app::RecordPanel* detail = window->findings()->detail();
  ASSERT_TRUE(detail->isVisible());
  EXPECT_EQ(window->findings()->splitter()->indexOf(table(*window)), 0);
  EXPECT_EQ(window->findings()->splitter()->indexOf(detail), 1);
  // The first finding is shown at once; a click on another row shows its record, the tab stays.
  EXPECT_TRUE(detail->heading()->text().startsWith("Linha 2: E02")) << detail->heading()->text().toStdString();
  clickRow(table(*window), 1);
  EXPECT_TRUE(detail->heading()->text().startsWith("Linha 3: E03")) << detail->heading()->text().toStdString();
  EXPECT_EQ(window->tabs()->currentWidget(), window->findings());
  QTest::keyClick(table(*window), Qt::Key_Up);
  EXPECT_TRUE(detail->heading()->text().startsWith("Linha 2: E02"));
  EXPECT_EQ(detail->highlightedRow(), 10);
  // Its own buttons walk the list.
  QTest::mouseClick(detail->findChild<QPushButton*>("proximoAchado"), Qt::LeftButton);
  EXPECT_EQ(table(*window)->currentIndex().row(), 1);
  EXPECT_TRUE(detail->heading()->text().startsWith("Linha 3: E03"));
}

TEST_F(AuditorWorkbench, ValuesReadAsAnAuditorWritesThemAndTheFailedFieldIsInView) {
  // The customer's CPF/CNPJ (field 19, the last) is not a number: the field list opens there.
  std::vector<std::string> lines = sampleTdmFile();
  lines[13] = sampleRecord(14, {{"CCF/CVC/CBP", "1"}, {"COO", "1"}, {"SUBTOTAL", "42344"}, {"TOTAL_LIQUIDO", "42344"},
                                {"DATA_INICIO", "20121001"}, {"IND_CANCELAMENTO", "N"}, {"CPF/CNPJ_CLI", "1234567890123A"}});
  auto window = shown(lines, {1024, 768});
  window->tabs()->setCurrentWidget(window->findings());
  QTableView* t = table(*window);
  int row = -1;
  for (int r = 0; r < t->model()->rowCount(); ++r)
    if (t->model()->index(r, FindingsModel::FieldColumn).data().toInt() == 19) row = r;
  ASSERT_GE(row, 0);
  clickRow(t, row);
  const QTableWidget* fields = window->findings()->detail()->fields();
  ASSERT_EQ(window->findings()->detail()->highlightedRow(), 18);
  const QRect failed = fields->visualItemRect(fields->item(18, 0));
  EXPECT_TRUE(fields->viewport()->rect().contains(failed)) << "the failed field is scrolled into view";
  EXPECT_EQ(fields->item(18, 4)->foreground().color(), app::kErrorColour);
  EXPECT_EQ(fields->horizontalScrollBar()->value(), 0);  // its number and name in view too
  const auto interpreted = [&](int field) { return fields->item(field - 1, 5)->text(); };
  EXPECT_EQ(fields->item(8, 4)->text(), "00000000042344");
  EXPECT_EQ(interpreted(9), "R$ 423,44");      // SUBTOTAL
  EXPECT_EQ(interpreted(8), "01/10/2012");     // DATA_INICIO
  EXPECT_EQ(interpreted(15), QString::fromUtf8("não cancelado"));  // IND_CANCELAMENTO "N"
  EXPECT_EQ(interpreted(19), "");  // not a number: nothing to read in it
}

TEST_F(AuditorWorkbench, TotalsFindingsShowTheirReductionAmountsAndFieldAndCopyAsText) {
  auto window = shown(linesOf(readFile(std::string(TAVEX_SOURCE_DIR) + "/exemplos/tdm_total_e13_divergente.txt")));
  window->tabs()->setCurrentWidget(window->findings());
  QTableView* t = table(*window);
  ASSERT_EQ(t->model()->rowCount(), 1);
  const auto cell = [&](int column) { return t->model()->index(0, column).data().toString(); };
  EXPECT_EQ(cell(FindingsModel::RecordColumn), "E13");
  EXPECT_EQ(cell(FindingsModel::FieldColumn), "8");  // the field the totals finding is about
  EXPECT_EQ(cell(FindingsModel::CrzColumn), "1");
  EXPECT_EQ(cell(FindingsModel::DeclaredColumn), "423,44");
  EXPECT_EQ(cell(FindingsModel::ComputedColumn), "423,34");
  EXPECT_EQ(cell(FindingsModel::DifferenceColumn), "0,10");
  EXPECT_FALSE(t->isColumnHidden(FindingsModel::DifferenceColumn));
  EXPECT_TRUE(t->isColumnHidden(FindingsModel::CooColumn));  // no finding has a COO

  // Ctrl+C copies the whole row; the menu copies everything with the header, as CSV too.
  clickRow(t, 0);
  QApplication::clipboard()->clear();
  QTest::keyClick(t, Qt::Key_C, Qt::ControlModifier);
  const QString row = QApplication::clipboard()->text();
  EXPECT_TRUE(row.startsWith("Erro\t14\tE13\t8\t1\t\t423,44\t423,34\t0,10\tLinha 14: E13")) << row.toStdString();
  QMenu* menu = window->findings()->rowMenu();
  menu->findChild<QAction*>("copiarCsv")->trigger();
  const QString csv = QApplication::clipboard()->text();
  EXPECT_TRUE(csv.startsWith(QString::fromUtf8("Severidade;Linha;Registro;Campo;CRZ;COO;Declarado (R$);Calculado (R$);"
                                               "Diferença (R$);Mensagem\nErro;14;E13;8;1;;423,44;423,34;0,10;"))) << csv.toStdString();
  // "Filtrar por este código" keeps that code only, until its button is pressed.
  window->findings()->rowMenu()->findChild<QAction*>("filtrarCodigo")->trigger();
  auto* code = window->findings()->findChild<QPushButton*>("filtroCodigo");
  EXPECT_TRUE(code->isVisible());
  EXPECT_TRUE(code->text().contains("totais.e13"));
  EXPECT_EQ(t->model()->rowCount(), 1);
  QTest::mouseClick(code, Qt::LeftButton);
  EXPECT_FALSE(code->isVisible());
  // "Ir para o registro" opens the full record.
  window->findings()->rowMenu()->findChild<QAction*>("irParaRegistro")->trigger();
  EXPECT_EQ(window->tabs()->currentWidget(), window->record());
}

TEST_F(AuditorWorkbench, AFormatErrorIsShownAsTheCauseAndTheReconciliationAsIncomplete) {
  auto window = shown(badDate());
  const QString notice = QString::fromUtf8(
      "As verificações de conteúdo foram desligadas a partir da linha 14 por um erro de formato: corrija-o primeiro");
  window->tabs()->setCurrentWidget(window->findings());
  QFrame* banner = window->findings()->causeBanner();
  ASSERT_TRUE(banner->isVisible());
  EXPECT_TRUE(banner->findChild<QLabel*>("avisoCausaTexto")->text().startsWith(notice));
  QTableView* t = table(*window);
  ASSERT_GT(t->model()->rowCount(), 1);
  // Sorted by line the totals findings come first here (their E12/E13 lines are earlier);
  // "Mostrar a causa primeiro" puts the format error on top.
  t->sortByColumn(FindingsModel::LineColumn, Qt::AscendingOrder);
  EXPECT_NE(t->model()->index(0, FindingsModel::LineColumn).data().toInt(), 14);
  QTest::mouseClick(banner->findChild<QPushButton*>("mostrarCausaPrimeiro"), Qt::LeftButton);
  EXPECT_EQ(t->model()->index(0, FindingsModel::LineColumn).data().toInt(), 14);
  EXPECT_EQ(t->model()->index(0, FindingsModel::FieldColumn).data().toInt(), 8);
  EXPECT_TRUE(window->findings()->detail()->heading()->text().startsWith("Linha 14: E14"));
  QTest::mouseClick(banner->findChild<QPushButton*>("mostrarCausaPrimeiro"), Qt::LeftButton);  // and back
  EXPECT_NE(t->model()->index(0, FindingsModel::LineColumn).data().toInt(), 14);

  window->tabs()->setCurrentWidget(window->reconciliation());
  app::ReconciliationPanel* panel = window->reconciliation();
  EXPECT_TRUE(panel->incompleteNote()->isVisible());
  EXPECT_TRUE(panel->incompleteNote()->text().startsWith(notice));
  EXPECT_TRUE(panel->emptyNote()->text().startsWith("Somas incompletas."));
  QTreeWidgetItem* day = panel->table()->topLevelItem(0);
  ASSERT_NE(day, nullptr);
  EXPECT_TRUE(day->font(4).italic());  // the computed sum is not shown as a fact
  EXPECT_TRUE(day->toolTip(4).startsWith("Soma incompleta."));
  // Sums that are no facts are neither counted, nor highlighted, nor charted; the banner names their lines.
  EXPECT_FALSE(panel->emptyNote()->text().contains(QString::fromUtf8("fora da tolerância")))
      << panel->emptyNote()->text().toStdString();
  EXPECT_TRUE(panel->incompleteNote()->text().contains(QString::fromUtf8("totais das linhas 12 e 13 não são fatos")))
      << panel->incompleteNote()->text().toStdString();
  panel->table()->expandAll();
  for (QTreeWidgetItemIterator row(panel->table()); *row; ++row) EXPECT_EQ((*row)->background(5).style(), Qt::NoBrush);
  for (int bar = 0; bar < panel->bars()->count(); ++bar) EXPECT_EQ(panel->bars()->at(bar), 0.0);
  // Its own "Mostrar a causa primeiro" leads to the format error in "Achados".
  ASSERT_FALSE(window->findings()->filter()->causeFirst());
  QTest::mouseClick(panel->findChild<QPushButton*>("mostrarCausaConciliacao"), Qt::LeftButton);
  EXPECT_EQ(window->tabs()->currentWidget(), window->findings());
  EXPECT_EQ(t->model()->index(0, FindingsModel::LineColumn).data().toInt(), 14);

  // A clean file: no banner, no note.
  writeFile(dir.file("ecf.txt"), joinLines(sampleTdmFile()));
  QTest::mouseClick(window->button("validarArquivoTexto"), Qt::LeftButton);
  EXPECT_FALSE(banner->isVisible());
  EXPECT_FALSE(panel->incompleteNote()->isVisible());
  EXPECT_FALSE(panel->table()->topLevelItem(0)->font(4).italic());
}

TEST_F(AuditorWorkbench, AReconciliationRowOpensItsRecord) {
  auto window = shown(sampleTdmFile());
  window->tabs()->setCurrentWidget(window->reconciliation());
  QTreeWidget* tree = window->reconciliation()->table();
  tree->setCurrentItem(tree->topLevelItem(0));
  tree->setFocus();
  QTest::keyClick(tree, Qt::Key_Return);
  EXPECT_EQ(window->tabs()->currentWidget(), window->record());
  EXPECT_TRUE(window->record()->heading()->text().startsWith("Linha 12: E12")) << window->record()->heading()->text().toStdString();
}

TEST_F(AuditorWorkbench, AYearOfReductionsChartsByMonthAndAMonthGoesBackToItsDays) {
  Reconciliation year;
  for (int day = 0; day < 365; ++day) {
    ReductionReconciliation r;
    r.crz = day + 1;
    const int month = day / 31 + 1;
    r.date = cformat("2012%02d%02d", month, day % 31 + 1);
    r.totals.push_back({TotalKind::GrossSales, "", 12, 100, 100 - day, day, day == 0});
    year.reductions.push_back(r);
  }
  app::ReconciliationPanel panel;
  panel.resize(1000, 500);
  panel.show();
  panel.setReconciliation(year);
  EXPECT_EQ(panel.grouping()->currentIndex(), 1);  // by month
  EXPECT_EQ(panel.days()->count(), 12);
  EXPECT_EQ(panel.days()->categories().front(), "01/2012");
  EXPECT_FALSE(panel.dayScroll()->isVisible());
  emit panel.bars()->clicked(2);  // March: back to its days, a month of them in view
  EXPECT_EQ(panel.grouping()->currentIndex(), 0);
  EXPECT_EQ(panel.days()->count(), 365);
  EXPECT_TRUE(panel.dayScroll()->isVisible());
  EXPECT_EQ(panel.days()->min(), "01/03");
  EXPECT_EQ(panel.days()->max(), "31/03");
}

// Tab goes through every pane (the results box too) and leaves a table in one key;
// the common actions have keys, named in their tooltips.
TEST_F(AuditorWorkbench, TheKeyboardReachesEveryPaneAndTheCommonActions) {
  std::vector<std::string> lines = sampleTdmFile();
  lines[1].replace(246, 6, "ABCDEF");
  lines[2].pop_back();
  auto window = shown(lines);
  // "Saída": its results box takes the focus and gives it on with Tab.
  window->results()->setFocus();
  ASSERT_TRUE(window->results()->hasFocus());
  QTest::keyClick(window->results(), Qt::Key_Tab);
  EXPECT_FALSE(window->results()->hasFocus());

  // "Achados": from the table, one Tab reaches the record beside it, whatever the cell.
  window->tabs()->setCurrentWidget(window->findings());
  QTableView* t = table(*window);
  clickRow(t, 0);
  ASSERT_TRUE(t->hasFocus());
  QTest::keyClick(t, Qt::Key_Tab);
  EXPECT_FALSE(t->hasFocus());
  EXPECT_TRUE(window->findings()->detail()->isAncestorOf(QApplication::focusWidget()))
      << QApplication::focusWidget()->objectName().toStdString();
  // Going round with Tab from there visits the findings table again, and the results box is in the chain.
  std::set<QWidget*> visited;
  QWidget* start = QApplication::focusWidget();
  for (int step = 0; step < 80 && visited.insert(QApplication::focusWidget()).second; ++step)
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_TRUE(visited.count(t)) << "the findings table is reached again";
  EXPECT_TRUE(visited.count(start));
  EXPECT_TRUE(visited.count(window->findChild<QLineEdit*>("buscaAchados")));

  // F8 and Shift+F8 walk the findings; F5 validates again; Ctrl+M folds the commands.
  t->setFocus();
  t->setCurrentIndex(t->model()->index(0, 0));
  QTest::keyClick(window.get(), Qt::Key_F8);
  EXPECT_EQ(t->currentIndex().row(), 1);
  EXPECT_TRUE(window->findings()->detail()->heading()->text().startsWith("Linha 3: E03"));
  QTest::keyClick(window.get(), Qt::Key_F8, Qt::ShiftModifier);
  EXPECT_EQ(t->currentIndex().row(), 0);
  std::filesystem::remove(dir.file("ecf.txt.log"));
  QTest::keyClick(window.get(), Qt::Key_F5);
  EXPECT_TRUE(std::filesystem::exists(dir.file("ecf.txt.log")));
  QTest::keyClick(window.get(), Qt::Key_M, Qt::ControlModifier);
  EXPECT_TRUE(window->commandsCollapsed());
  // A file that cannot be read any more leaves the results shown as they were.
  const QString title = window->tabs()->tabText(window->tabs()->indexOf(window->findings()));
  std::filesystem::rename(dir.file("ecf.txt"), dir.file("outro.txt"));
  QTest::keyClick(window.get(), Qt::Key_F5);
  EXPECT_EQ(window->tabs()->tabText(window->tabs()->indexOf(window->findings())), title);
  EXPECT_FALSE(ui.messages.empty());
  // Ctrl+O opens through the same chooser as the button.
  const std::size_t asked = ui.openRequests.size();
  ui.answer(std::nullopt);
  QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(ui.openRequests.size(), asked + 1);
  for (const char* name : {"lerRegistroSalvo", "validarArquivoTexto"})
    EXPECT_TRUE(window->button(name)->toolTip().contains('(')) << name;
  EXPECT_TRUE(window->button("validarArquivoTexto")->toolTip().contains("F5"));
  EXPECT_TRUE(window->findChild<QPushButton*>("salvarLog")->toolTip().contains("Ctrl+S"));
  EXPECT_TRUE(window->findChild<QPushButton*>("gerarRelatorio")->toolTip().contains("Ctrl+R"));
  EXPECT_TRUE(window->findChild<QLineEdit*>("buscaAchados")->toolTip().contains("Ctrl+F"));
  EXPECT_TRUE(window->findings()->detail()->findChild<QPushButton*>("proximoAchado")->toolTip().contains("F8"));
}

TEST_F(AuditorWorkbench, AnIndicatorShowsItsRecordBesideTheList) {
  auto window = shown(linesOf(readFile(std::string(TAVEX_SOURCE_DIR) + "/exemplos/tdm_indicios.txt")));
  window->tabs()->setCurrentWidget(window->indicators());
  app::RecordPanel* detail = window->indicators()->detail();
  ASSERT_TRUE(detail->isVisible());
  EXPECT_TRUE(detail->heading()->text().startsWith("Linha 12: E11")) << detail->heading()->text().toStdString();
  QTest::mouseClick(detail->findChild<QPushButton*>("proximoAchado"), Qt::LeftButton);  // "Próximo indício"
  EXPECT_TRUE(detail->heading()->text().startsWith("Linha 14: E12")) << detail->heading()->text().toStdString();
  EXPECT_EQ(window->tabs()->currentWidget(), window->indicators());
}

// At the screen sizes auditors use, the message of every row is in view (wrapped
// in "Indícios"), the current row's sentence whole beside the list, the values as
// an auditor writes them and the questioned field highlighted, here and in "Registro".
TEST_F(AuditorWorkbench, FindingsAndIndicatorsReadWholeAtCommonScreenSizes) {
  std::vector<std::string> lines = linesOf(readFile(std::string(TAVEX_SOURCE_DIR) + "/exemplos/tdm_indicios.txt"));
  lines[2].pop_back();  // and a finding: the E03 one character short
  for (const QSize size : {QSize(1024, 768), QSize(1366, 768)}) {
    auto window = shown(lines, size);
    const struct {
      QWidget* tab;
      QTableView* table;
      int message;
      app::RecordPanel* detail;
    } views[] = {{window->findings(), window->findings()->table(), FindingsModel::MessageColumn, window->findings()->detail()},
                 {window->indicators(), window->indicators()->table(), app::IndicatorsModel::MessageColumn,
                  window->indicators()->detail()}};
    for (const auto& v : views) {
      QTest::mouseClick(window->tabs()->tabBar(), Qt::LeftButton, {},
                        window->tabs()->tabBar()->tabRect(window->tabs()->indexOf(v.tab)).center());
      ASSERT_GT(v.table->model()->rowCount(), 0);
      clickRow(v.table, 0);
      const QHeaderView* header = v.table->horizontalHeader();
      const int left = header->sectionViewportPosition(v.message), width = header->sectionSize(v.message);
      EXPECT_GE(left, 0) << size.width();
      EXPECT_LE(left + width, v.table->viewport()->width()) << size.width();
      EXPECT_GE(width, 200) << size.width();
      const QString message = v.table->model()->index(0, v.message).data().toString();
      EXPECT_EQ(v.detail->findChild<QLabel*>("registroMensagem")->text(), message) << size.width();
    }
  }
  auto window = shown(lines);
  QTableView* t = window->indicators()->table();
  window->tabs()->setCurrentWidget(window->indicators());
  EXPECT_TRUE(t->isColumnHidden(app::IndicatorsModel::CodeColumn));
  int dated = -1;
  for (int r = 0; r < t->model()->rowCount() && dated < 0; ++r)
    if (t->model()->index(r, app::IndicatorsModel::FoundColumn).data().toString().contains('/')) dated = r;
  ASSERT_GE(dated, 0) << "a date shown as DD/MM/AAAA";
  EXPECT_TRUE(t->model()->index(dated, app::IndicatorsModel::FoundColumn).data().toString().contains(
      QRegularExpression("^\\d\\d/\\d\\d/\\d{4}$")));
  clickRow(t, dated);
  EXPECT_GE(window->indicators()->detail()->highlightedRow(), 0);
  QTest::keyClick(t, Qt::Key_Return);
  ASSERT_EQ(window->tabs()->currentWidget(), window->record());
  EXPECT_EQ(window->record()->highlightedRow(), window->indicators()->detail()->highlightedRow());
  EXPECT_EQ(window->record()->findChild<QLabel*>("registroMensagem")->text().toStdString(),
            t->model()->index(dated, app::IndicatorsModel::MessageColumn).data().toString().toStdString());

  // One row left by the filter: no way on from it.
  window->tabs()->setCurrentWidget(window->indicators());
  auto* level = window->indicators()->findChild<QComboBox*>("filtroNivel");
  QPushButton* next = window->indicators()->detail()->findChild<QPushButton*>("proximoAchado");
  for (int choice = 1; choice < level->count() && t->model()->rowCount() != 1; ++choice) {
    level->setFocus();
    QTest::keyClick(level, Qt::Key_Down);
  }
  ASSERT_EQ(t->model()->rowCount(), 1);
  EXPECT_FALSE(next->isEnabled());
}

// A flood of findings: the window shows the first results at once and takes in the
// rest of the log while it repaints and answers clicks.
TEST_F(AuditorWorkbench, AFloodOfFindingsLoadsWhileTheWindowAnswers) {
  std::ostringstream generated;
  GeneratorOptions options;
  options.targetBytes = 6000000;
  generateCotepe(generated, options);
  std::vector<std::string> lines = linesOf(generated.str());
  for (std::string& line : lines)  // a finding on every item: its net total one cent off
    if (line.starts_with("E15") && line.size() > 222) line[222] = line[222] == '1' ? '2' : '1';
  auto window = shown(lines);
  ASSERT_GT(window->model().lastFindings.size(), 20000u);
  EXPECT_TRUE(window->loadingResults());
  const int achados = window->tabs()->indexOf(window->findings());
  EXPECT_TRUE(window->tabs()->tabText(achados).contains(QString::fromUtf8("carregando"))) << window->tabs()->tabText(achados).toStdString();
  QTest::mouseClick(window->tabs()->tabBar(), Qt::LeftButton, {}, window->tabs()->tabBar()->tabRect(achados).center());
  EXPECT_EQ(window->tabs()->currentIndex(), achados);
  QTRY_VERIFY_WITH_TIMEOUT(!window->loadingResults(), 60000);
  EXPECT_EQ(window->findings()->table()->model()->rowCount(), static_cast<int>(window->model().lastFindings.size()));
  EXPECT_FALSE(window->tabs()->tabText(achados).contains(QString::fromUtf8("carregando")));
  QPlainTextEdit whole;  // the log as it reads when shown in one go
  whole.setPlainText(app::fromCp1252(window->model().state.outputText));
  EXPECT_EQ(window->results()->toPlainText(), whole.toPlainText());
}

// The chart's labels are whole at the common widths: every day and month reads as it is.
TEST_F(AuditorWorkbench, ChartLabelsAreWholeAtCommonWidths) {
  Reconciliation year;
  for (int day = 0; day < 365; ++day) {
    ReductionReconciliation r;
    r.crz = day + 1;
    r.date = cformat("2012%02d%02d", day / 31 + 1, day % 31 + 1);
    r.totals.push_back({TotalKind::GrossSales, "", 12, 100, 100 - day, day, day == 0});
    year.reductions.push_back(r);
  }
  for (const QSize size : {QSize(1366, 768), QSize(1920, 1080)}) {
    auto window = shown(sampleTdmFile(), size);
    app::ReconciliationPanel* panel = window->reconciliation();
    panel->setReconciliation(year);
    window->tabs()->setCurrentWidget(panel);
    for (int grouping : {0, 1}) {
      panel->grouping()->setCurrentIndex(grouping);
      QApplication::processEvents();
      QStringList drawn;
      for (QGraphicsItem* item : panel->chart()->scene()->items())
        if (auto* text = dynamic_cast<QGraphicsTextItem*>(item); text != nullptr && text->isVisible())
          drawn << text->toPlainText();
      const QStringList shown = grouping == 0 ? panel->days()->categories().mid(0, app::ReconciliationPanel::kDaysShown)
                                              : panel->days()->categories();
      for (const QString& label : shown)
        EXPECT_TRUE(drawn.contains(label)) << size.width() << " " << label.toStdString() << " " << drawn.join('|').toStdString();
    }
  }
}

}  // namespace
}  // namespace tavex::testing
