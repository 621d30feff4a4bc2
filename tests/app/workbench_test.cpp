// The results area as an audit workbench: "Achados", "Registro" and
// "Conciliação" beside the classic "Saída", driven offscreen by object name.
#include <QBarSet>
#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QStatusBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTreeWidget>
#include <chrono>
#include <map>

#include "app/file_view.h"
#include "app/findings_view.h"
#include "app/indicators_view.h"
#include "app/origin_bar.h"
#include "app/qt_text.h"
#include "app/main_window.h"
#include "app/reconciliation_view.h"
#include "app/record_view.h"
#include "app_fixture.h"
#include "cotepe/record_layout.h"
#include "cotepe/text.h"
#include "support/files.h"
#include "support/sample_files.h"
#include "support/scripted_ui.h"

namespace tavex::testing {
namespace {

using app::MainWindow;

class Workbench : public WindowTest {
 protected:
  // A TDM file whose E02 (line 2) has letters in CRO (field 11), read and validated.
  std::unique_ptr<MainWindow> validated(std::vector<std::string> lines) { return validated(joinLines(lines)); }
  std::unique_ptr<MainWindow> validated(const std::string& text) {
    const std::string file = dir.file("ecf.txt");
    writeFile(file, text);
    auto window = std::make_unique<MainWindow>(ui, dir.path().string());
    ui.answer(file);
    window->button("lerRegistroSalvo")->click();
    window->button("validarArquivoTexto")->click();
    return window;
  }
  static std::vector<std::string> brokenCro() {
    std::vector<std::string> lines = sampleTdmFile();
    lines[1].replace(246, 6, "ABCDEF");
    return lines;
  }
  // Three findings: CRO (field 11) and CNPJ (field 5) on line 2, a short E03 on line 3.
  static std::vector<std::string> threeFindings() {
    std::vector<std::string> lines = brokenCro();
    lines[1].replace(44, 1, "X");
    lines[2].pop_back();
    return lines;
  }
  QTableView* findingsTable(MainWindow& w) { return w.findChild<QTableView*>("tabelaAchados"); }
  // The window on screen and active, so keys go where the focus is; the manual
  // and the report open into `opened`.
  void showActive(MainWindow& w) {
    w.openDocument = [this](const QString& path) { return opened << path, true; };
    w.resize(1024, 768);
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  }
  static QString shownMessage(MainWindow& w) { return w.record()->findChild<QLabel*>("registroMensagem")->text(); }
  // A click on finding `row` of "Achados", then Enter: "Registro" shows it.
  void enterOnFinding(MainWindow& w, int row) {
    w.tabs()->setCurrentWidget(w.findings());
    QTableView* table = findingsTable(w);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(table->model()->index(row, 1)).center());
    QTest::keyClick(table, Qt::Key_Return);
  }
  // The row of "Achados" whose message holds `text` (-1: none).
  int findingRow(MainWindow& w, const QString& text) {
    QAbstractItemModel* rows = findingsTable(w)->model();
    for (int row = 0; row < rows->rowCount(); ++row)
      if (rows->index(row, app::FindingsModel::MessageColumn).data().toString().contains(text)) return row;
    return -1;
  }
  QStringList opened;
  TempDir dir;
  ScriptedUserInterface ui;
};

TEST_F(Workbench, ValidationFillsAchadosAndKeepsSaidaInFront) {
  auto window = validated(brokenCro());
  QTabWidget* tabs = window->tabs();
  ASSERT_EQ(tabs->count(), 6);
  EXPECT_EQ(tabs->tabText(0), QString::fromUtf8("Saída"));
  EXPECT_EQ(tabs->currentWidget(), window->output());
  EXPECT_EQ(window->output()->currentWidget(), window->results());
  EXPECT_TRUE(tabs->tabText(1).startsWith(QString::fromUtf8("Achados (1 erro")));
  EXPECT_TRUE(window->results()->toPlainText().contains(QString::fromUtf8("Fim da validação do arquivo.")));
  // "Saída" opens at its first finding.
  const QTextBlock first = window->results()->textCursor().block();
  EXPECT_TRUE(first.text().startsWith("[ERR] ")) << first.text().toStdString();
  EXPECT_EQ(window->results()->verticalScrollBar()->value(), first.blockNumber());
  const QList<QTextLayout::FormatRange> colours = first.layout()->formats();
  ASSERT_FALSE(colours.isEmpty());
  EXPECT_EQ(colours.front().format.foreground().color(), QColor(0xb0, 0x00, 0x20));  // errors in red
  ASSERT_GE(findingsTable(*window)->model()->rowCount(), 1);
  EXPECT_EQ(findingsTable(*window)->model()->index(0, 1).data().toInt(), 2);
  EXPECT_EQ(findingsTable(*window)->model()->index(0, 2).data().toString(), "E02");

  // A clean file afterwards empties the tab and its title.
  ui.answer(dir.file("ok.txt"));
  writeFile(dir.file("ok.txt"), joinLines(sampleTdmFile()));
  window->button("lerRegistroSalvo")->click();
  window->button("validarArquivoTexto")->click();
  EXPECT_EQ(tabs->tabText(1), "Achados (0 erros, 0 avisos)");  // a clean file says so
  EXPECT_EQ(findingsTable(*window)->model()->rowCount(), 0);
}

TEST_F(Workbench, GerarRelatorioWritesTheReportOfTheValidatedFileAndOpensIt) {
  auto window = validated(brokenCro());
  QString opened;
  window->openDocument = [&](const QString& path) { return opened = path, true; };
  QPushButton* report = window->findChild<QPushButton*>("gerarRelatorio");
  ASSERT_NE(report, nullptr);
  ASSERT_TRUE(report->isEnabled());
  const std::string page = dir.file("ecf_relatorio.html");
  ui.answer(page);
  report->click();
  EXPECT_EQ(opened, QString::fromStdString(page));
  const std::string html = readFile(page);
  EXPECT_NE(html.find("<h1>Relatório de auditoria</h1>"), std::string::npos);
  EXPECT_NE(html.find("data-linha=\"2\"><span class=\"sev\">ERRO</span> <span class=\"onde\">linha 2, campo 11 (CRO):"), std::string::npos);
  EXPECT_TRUE(ui.messages.empty());

  // A page that cannot be written says so and opens nothing.
  opened.clear();
  ui.answer(dir.file("sem_pasta/r.html"));
  report->click();
  EXPECT_TRUE(opened.isEmpty());
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].title, "Erro!");
}

TEST_F(Workbench, DoubleClickingAFindingOpensItsRecordWithTheFieldHighlighted) {
  auto window = validated(brokenCro());
  window->resize(1024, 768);
  window->show();
  window->tabs()->setCurrentIndex(1);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  QTableView* table = findingsTable(*window);
  const QRect cell = table->visualRect(table->model()->index(0, 1));
  QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());  // a user's double click presses first
  QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
  EXPECT_EQ(window->tabs()->currentWidget(), window->record());
  EXPECT_TRUE(window->record()->heading()->text().startsWith("Linha 2: E02")) << window->record()->heading()->text().toStdString();
  const QTableWidget* fields = window->record()->fields();
  ASSERT_EQ(window->record()->highlightedRow(), 10);
  EXPECT_EQ(fields->item(10, 1)->text(), "CRO");
  EXPECT_EQ(fields->item(10, 4)->text(), "ABCDEF");
  EXPECT_NE(fields->item(10, 4)->background(), fields->item(9, 4)->background());
  // Blanks are visible in the values (the sample pads its texts with spaces).
  EXPECT_TRUE(fields->item(6, 4)->text().contains(QChar(0x00B7)));
  EXPECT_TRUE(window->record()->context()->toPlainText().contains("00000002 - E02"));
}

TEST_F(Workbench, ALineOfSaidaOpensItsRecordAndTheButtonsWalkTheFindings) {
  std::vector<std::string> lines = brokenCro();
  lines[1].replace(44, 1, "X");  // CNPJ (field 5) too
  auto window = validated(lines);
  window->resize(1024, 768);
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  QPlainTextEdit* log = window->results();
  const QRect line = log->cursorRect(log->textCursor());  // the first finding
  QTest::mouseDClick(log->viewport(), Qt::LeftButton, {}, line.center());
  ASSERT_EQ(window->tabs()->currentWidget(), window->record());
  auto* previous = window->record()->findChild<QPushButton*>("achadoAnterior");
  auto* next = window->record()->findChild<QPushButton*>("proximoAchado");
  EXPECT_FALSE(previous->isEnabled());
  ASSERT_TRUE(next->isEnabled());
  const int firstRow = window->record()->highlightedRow();
  next->click();
  EXPECT_NE(window->record()->highlightedRow(), firstRow);
  EXPECT_TRUE(previous->isEnabled());
  previous->click();
  EXPECT_EQ(window->record()->highlightedRow(), firstRow);
}

TEST_F(Workbench, FilterAndSearchNarrowTheFindings) {
  std::vector<std::string> lines = brokenCro();
  lines[2].replace(lines[2].size() - 1, 1, "");  // a short E03: a length finding on line 3
  auto window = validated(lines);
  QTableView* table = findingsTable(*window);
  const int all = table->model()->rowCount();
  ASSERT_GE(all, 2);
  auto* record = window->findChild<QComboBox*>("filtroRegistro");
  record->setCurrentIndex(record->findText("E02"));
  EXPECT_EQ(table->model()->rowCount(), 1);
  record->setCurrentIndex(0);
  auto* severity = window->findChild<QComboBox*>("filtroSeveridade");
  severity->setCurrentIndex(2);  // warnings only
  for (int row = 0; row < table->model()->rowCount(); ++row) EXPECT_EQ(table->model()->index(row, 0).data().toString(), "Aviso");
  severity->setCurrentIndex(0);
  window->show();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(window->tabs()->currentWidget(), window->findings());
  auto* search = window->findChild<QLineEdit*>("buscaAchados");
  search->setText("tamanho de registro");
  ASSERT_EQ(table->model()->rowCount(), 1);
  EXPECT_EQ(table->model()->index(0, 1).data().toInt(), 3);
  search->setText("nada assim");
  EXPECT_EQ(table->model()->rowCount(), 0);
}

TEST_F(Workbench, AFindingWhoseLineNoLongerExistsSaysSo) {
  auto window = validated(brokenCro());
  writeFile(dir.file("ecf.txt"), "E01\r\n");  // the file changed after the validation
  window->openFinding(0);
  EXPECT_TRUE(window->record()->heading()->text().contains(QString::fromUtf8("não existe mais")));
  EXPECT_EQ(window->record()->fields()->rowCount(), 0);
}

// The panel reads a line through the file's line index, built once per file and
// again when the file changes: the line and its neighbours, deep in the file or
// at its unended end, and the new text of a file rewritten since.
TEST_F(Workbench, TheRecordPanelReadsLinesThroughAnIndexKeptUntilTheFileChanges) {
  const std::string path = dir.file("linhas.txt");
  const auto fileWith = [&](const std::string& marker) {
    std::string text;
    for (int n = 1; n <= 2000; ++n) text += "E99 linha " + std::to_string(n) + (n == 1500 ? marker : "") + (n < 2000 ? "\r\n" : "");
    writeFile(path, text);
  };
  fileWith("");
  app::RecordPanel panel;
  panel.showLine(path, 1500, nullptr);
  EXPECT_TRUE(panel.heading()->text().startsWith("Linha 1500:")) << panel.heading()->text().toStdString();
  const QString context = panel.context()->toPlainText();
  EXPECT_TRUE(context.contains("E99 linha 1497") && context.contains("E99 linha 1503")) << context.toStdString();
  EXPECT_FALSE(context.contains("E99 linha 1496") || context.contains("E99 linha 1504"));
  panel.showLine(path, 2000, nullptr);
  EXPECT_TRUE(panel.heading()->text().startsWith("Linha 2000:"));
  panel.showLine(path, 2001, nullptr);
  EXPECT_TRUE(panel.heading()->text().contains(QString::fromUtf8("não existe mais")));
  fileWith(" reescrita");
  panel.showLine(path, 1500, nullptr);
  EXPECT_TRUE(panel.context()->toPlainText().contains("E99 linha 1500 reescrita"));
}

TEST_F(Workbench, AOneMegabyteLineIsInspectedWithoutShowingItWhole) {
  std::vector<std::string> lines = brokenCro();
  lines[2] = lines[2] + std::string(1000000, '9');
  auto window = validated(lines);
  window->openLine(3);
  EXPECT_TRUE(window->record()->heading()->text().contains("1000")) << window->record()->heading()->text().toStdString();
  EXPECT_LT(window->record()->context()->toPlainText().size(), 5000);
}

TEST_F(Workbench, ReconciliationShowsTheReductionsAndTheChartSelectsRows) {
  auto window = validated(sampleTdmFile());
  auto* panel = window->reconciliation();
  QTreeWidget* table = panel->table();
  ASSERT_EQ(table->topLevelItemCount(), 1);
  EXPECT_EQ(table->topLevelItem(0)->text(0), "01/10/2012");
  EXPECT_EQ(table->topLevelItem(0)->text(2), "E12");
  table->expandItem(table->topLevelItem(0));
  EXPECT_GT(table->topLevelItem(0)->childCount(), 0);  // E13, E17, E18 under it
  ASSERT_NE(panel->bars(), nullptr);
  EXPECT_EQ(panel->bars()->count(), 1);
  table->setCurrentItem(nullptr);
  emit panel->bars()->clicked(0);
  EXPECT_EQ(table->currentItem(), table->topLevelItem(0));

  ui.answer(dir.file("conciliacao.csv"));
  panel->exportButton()->click();
  const std::string csv = readFile(dir.file("conciliacao.csv"));
  EXPECT_EQ(csv.rfind("Data;CRZ;Registro;Nome;Linha;Declarado;Calculado;Diferença;Dentro da tolerância\r\n"_cp, 0), 0u);
  EXPECT_NE(csv.find("01/10/2012;1;E12;"), std::string::npos);
}

// The window's CSV follows the program's one convention: a name that would split
// the row stays one field.
TEST(WorkbenchCsv, ANameHoldingASemicolonOrQuotesStaysOneField) {
  Reconciliation table;
  table.reductions = {{1, 12, "20121001", 1, 3, {{TotalKind::Totalizer, "a;\"b", 14, 100, 100, 0, true}}}};
  EXPECT_NE(app::reconciliationCsv(table).find(";E13;\"a;\"\"b\";14;"), std::string::npos) << app::reconciliationCsv(table);
}

TEST_F(Workbench, TotalsOverTheToleranceAreHighlighted) {
  const std::string file = std::string(TAVEX_SOURCE_DIR) + "/exemplos/tdm_total_e13_divergente.txt";
  writeFile(dir.file("ecf.txt"), readFile(file));
  auto window = std::make_unique<MainWindow>(ui, dir.path().string());
  ui.answer(dir.file("ecf.txt"));
  window->button("lerRegistroSalvo")->click();
  window->button("validarArquivoTexto")->click();
  QTreeWidget* table = window->reconciliation()->table();
  int highlighted = 0;
  for (QTreeWidgetItemIterator it(table); *it; ++it) highlighted += (*it)->background(0).style() != Qt::NoBrush ? 1 : 0;
  EXPECT_GT(highlighted, 0);
  EXPECT_TRUE(window->reconciliation()->emptyNote()->text().contains(QString::fromUtf8("fora da tolerância")));
}

TEST_F(Workbench, WithoutReductionsTheReconciliationIsASentence) {
  std::vector<std::string> lines = sampleMfdFile();  // no E12
  auto window = validated(lines);
  auto* panel = window->reconciliation();
  EXPECT_TRUE(panel->table()->isHidden());
  EXPECT_FALSE(panel->emptyNote()->text().isEmpty());
  EXPECT_FALSE(panel->exportButton()->isEnabled());
}

TEST_F(Workbench, DroppingAFileOpensItAndFoldersOrSeveralFilesAreRefused) {
  writeFile(dir.file("ecf.txt"), joinLines(sampleTdmFile()));
  auto window = std::make_unique<MainWindow>(ui, dir.path().string());
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(app::fromPath(dir.file("ecf.txt")))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(window.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(window.get(), &drop);
  EXPECT_EQ(window->model().state.currentCotepePath, dir.file("ecf.txt"));
  EXPECT_EQ(window->output()->currentWidget(), window->fileView());
  EXPECT_TRUE(window->fileView()->text(0, 0).startsWith("00000001 - E01"));
  EXPECT_EQ(window->statusBar()->findChild<QLabel*>("estadoArquivo")->text(), "Arquivo: ecf.txt");
  EXPECT_TRUE(ui.messages.empty());

  for (const QList<QUrl>& urls : {QList<QUrl>{QUrl::fromLocalFile(app::fromPath(dir.path().string()))},
                                  QList<QUrl>{QUrl::fromLocalFile(app::fromPath(dir.file("ecf.txt"))),
                                              QUrl::fromLocalFile(app::fromPath(dir.file("ecf.txt")))}}) {
    window->openDropped(urls);
    EXPECT_EQ(window->model().state.currentCotepePath, dir.file("ecf.txt"));  // unchanged
  }
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].icon, Icon::Warning);
}

TEST_F(Workbench, APrinterCommandThatShowsNothingKeepsTheFileInView) {
  writeFile(dir.file("ecf.txt"), joinLines(sampleTdmFile()));
  auto window = std::make_unique<MainWindow>(ui, dir.path().string());
  ui.answer(dir.file("ecf.txt"));
  window->button("lerRegistroSalvo")->click();
  window->button("leituraX")->click();  // no printer chosen: a message, nothing shown
  EXPECT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(window->output()->currentWidget(), window->fileView());
  EXPECT_TRUE(window->fileView()->text(0, 0).startsWith("00000001 - E01"));
}

TEST_F(Workbench, SaveLogAsCopiesTheLogAndPrintingListsTheShownFindings) {
  auto window = validated(brokenCro());
  ui.answer(dir.file("copia.log"));
  auto* save = window->findings()->findChild<QPushButton*>("salvarLog");
  ASSERT_TRUE(save->isEnabled());
  save->click();
  EXPECT_EQ(readFile(dir.file("copia.log")), readFile(dir.file("ecf.txt.log")));
  const QString html = window->findings()->printableHtml();
  EXPECT_TRUE(html.contains("<td>E02</td>"));
  window->findChild<QLineEdit*>("buscaAchados")->setText("nada assim");
  EXPECT_FALSE(window->findings()->printableHtml().contains("<td>E02</td>"));
}

TEST(ReconciliationTexts, MoneyAndDays) {
  EXPECT_EQ(app::money(0), "0,00");
  EXPECT_EQ(app::money(-5), "-0,05");
  EXPECT_EQ(app::money(123456789), "1.234.567,89");
  EXPECT_EQ(app::money(INT64_MIN), "-92.233.720.368.547.758,08");
  EXPECT_EQ(app::dayOf("20121005"), "05/10/2012");
  EXPECT_EQ(app::dayOf("2012"), "2012");
}

TEST_F(Workbench, AHundredThousandFindingsFillTheTableQuickly) {
  std::vector<Finding> many(100000);
  for (int i = 0; i < 100000; ++i) {
    many[static_cast<std::size_t>(i)].place.line = i + 1;
    many[static_cast<std::size_t>(i)].place.recordType = 14;
    many[static_cast<std::size_t>(i)].severity = i % 3 == 0 ? Severity::Warning : Severity::Error;
    many[static_cast<std::size_t>(i)].message = "Linha " + std::to_string(i + 1) + ": E14 -> Campo inválido."_cp;
  }
  app::FindingsPanel panel;
  panel.resize(1000, 400);
  panel.show();
  const auto start = std::chrono::steady_clock::now();
  panel.setFindings(&many);
  QApplication::processEvents();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(panel.table()->model()->rowCount(), 100000);
  EXPECT_LT(seconds, 1.0);
  EXPECT_EQ(panel.tabTitle(), QString::fromUtf8("Achados (66666 erros, 33334 avisos)"));
}

TEST_F(Workbench, EnterOnAFindingOpensExactlyThatFinding) {
  auto window = validated(threeFindings());
  showActive(*window);
  QTableView* table = findingsTable(*window);
  ASSERT_EQ(table->model()->rowCount(), 3);
  for (int row : {2, 1, 0}) {
    window->tabs()->setCurrentWidget(window->findings());
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(table->model()->index(row, 1)).center());
    ASSERT_TRUE(table->hasFocus());
    QTest::keyClick(table, Qt::Key_Return);
    EXPECT_EQ(window->tabs()->currentWidget(), window->record()) << "row " << row;
    EXPECT_EQ(shownMessage(*window), table->model()->index(row, app::FindingsModel::MessageColumn).data().toString()) << "row " << row;
    // The record keeps the keyboard: a second Enter walks nowhere.
    ASSERT_TRUE(window->record()->isAncestorOf(QApplication::focusWidget()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(shownMessage(*window), table->model()->index(row, app::FindingsModel::MessageColumn).data().toString()) << "row " << row;
  }
  EXPECT_TRUE(opened.isEmpty());
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_TRUE(window->isVisible());
}

TEST_F(Workbench, EscapeAndEnterInTheResultsKeepTheProgramAndTheResults) {
  writeFile(dir.file("Manual_Tavex.pdf"), "%PDF-1.4\n");
  auto window = validated(threeFindings());
  showActive(*window);
  QTableView* table = findingsTable(*window);
  QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
  auto* search = window->findChild<QLineEdit*>("buscaAchados");
  ASSERT_TRUE(search->hasFocus());
  QTest::keyClicks(search, "campo 11");
  EXPECT_EQ(table->model()->rowCount(), 1);
  QTest::keyClick(search, Qt::Key_Escape);  // clears the search
  EXPECT_TRUE(search->text().isEmpty());
  EXPECT_EQ(table->model()->rowCount(), 3);
  QTest::keyClick(search, Qt::Key_Escape);  // nothing left to clear: nothing happens
  EXPECT_TRUE(window->isVisible());

  // Enter in the search goes to the first finding found; Enter there opens it.
  QTest::keyClicks(search, "tamanho");
  QTest::keyClick(search, Qt::Key_Return);
  ASSERT_TRUE(table->hasFocus());
  EXPECT_EQ(table->currentIndex().row(), 0);
  QTest::keyClick(table, Qt::Key_Return);
  EXPECT_TRUE(window->record()->heading()->text().startsWith("Linha 3: E03")) << window->record()->heading()->text().toStdString();

  // Nor do the record or the log in "Saída" give the keys away.
  for (QWidget* view : std::initializer_list<QWidget*>{window->record()->fields(), window->results()}) {
    for (int tab = 0; tab < window->tabs()->count(); ++tab)
      if (window->tabs()->widget(tab)->isAncestorOf(view)) window->tabs()->setCurrentIndex(tab);
    view->setFocus();
    ASSERT_TRUE(view->hasFocus()) << view->objectName().toStdString();
    QTest::keyClick(view, Qt::Key_Return);
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
  }
  EXPECT_TRUE(opened.isEmpty());
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(window->findings()->model()->rowCount(), 3);
  EXPECT_TRUE(window->results()->toPlainText().contains(QString::fromUtf8("Fim da validação do arquivo.")));

  // The command panel keeps its keys: Enter opens the manual, Escape ends the program.
  window->tolerance()->setFocus();
  QTest::keyClick(window->tolerance(), Qt::Key_Return);
  EXPECT_EQ(opened, QStringList{app::fromPath(dir.file("Manual_Tavex.pdf"))});
  QTest::keyClick(window->tolerance(), Qt::Key_Escape);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(Workbench, ResultTabsNameTheirFileAndMarkResultsOfAnotherOne) {
  auto window = validated(brokenCro());
  const QString first = app::fromPath(dir.file("ecf.txt"));
  const QString second = app::fromPath(dir.file("outro.txt"));
  QTabWidget* tabs = window->tabs();
  const auto origin = [](QWidget* tab) { return tab->findChild<QLabel*>("origem"); };
  const std::vector<QWidget*> results = {window->findings(), window->reconciliation()};
  for (QWidget* tab : results) {
    ASSERT_NE(origin(tab), nullptr);
    EXPECT_FALSE(origin(tab)->isHidden());
    EXPECT_TRUE(origin(tab)->text().contains(first));
    EXPECT_TRUE(tabs->tabIcon(tabs->indexOf(tab)).isNull());
  }

  // Another file opened: the old results still name theirs, and say they are not the open one's.
  writeFile(dir.file("outro.txt"), joinLines(sampleTdmFile()));
  ui.answer(dir.file("outro.txt"));
  window->button("lerRegistroSalvo")->click();
  for (QWidget* tab : results) {
    EXPECT_TRUE(origin(tab)->text().contains(first));
    EXPECT_TRUE(origin(tab)->text().contains(QString::fromUtf8("NÃO do arquivo aberto agora (%1)").arg(second)))
        << origin(tab)->text().toStdString();
    EXPECT_FALSE(tabs->tabIcon(tabs->indexOf(tab)).isNull());
  }
  // A double click on an old finding shows the old file's line, and says so.
  window->resize(1024, 768);
  window->show();
  tabs->setCurrentWidget(window->findings());
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  QTableView* table = findingsTable(*window);
  const QPoint cell = table->visualRect(table->model()->index(0, 1)).center();
  QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell);
  QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell);
  ASSERT_EQ(tabs->currentWidget(), window->record());
  ASSERT_NE(origin(window->record()), nullptr);
  EXPECT_TRUE(origin(window->record())->text().contains(first));
  EXPECT_FALSE(tabs->tabIcon(tabs->indexOf(window->record())).isNull());

  // Validating the open file: the tabs name it, unmarked; "Registro" still names the line it shows.
  window->button("validarArquivoTexto")->click();
  for (QWidget* tab : results) {
    EXPECT_EQ(origin(tab)->text(), QString::fromUtf8("Arquivo: %1 · Tolerância: R$ 0,00").arg(second));
    EXPECT_TRUE(tabs->tabIcon(tabs->indexOf(tab)).isNull());
  }
  EXPECT_TRUE(origin(window->record())->isHidden());  // the old file's line is no longer shown
  window->openLine(1);
  EXPECT_EQ(origin(window->record())->text(), QString::fromUtf8("Arquivo: %1").arg(second));
}

TEST_F(Workbench, OutputsAreChosenWithSaveChoosersAndTheStatusBarSaysWhereTheyWent) {
  auto window = validated(sampleTdmFile());
  showActive(*window);
  const std::vector<std::pair<QPushButton*, std::string>> outputs = {
      {window->findings()->findChild<QPushButton*>("salvarLog"), dir.file("copia.log")},
      {window->findings()->findChild<QPushButton*>("gerarRelatorio"), dir.file("relatorio.html")},
      {window->reconciliation()->exportButton(), dir.file("conciliacao.csv")}};
  // Each proposes a name of its own made from the validated file's.
  const std::map<QString, std::string> proposed = {
      {"salvarLog", "ecf_validacao.log"}, {"gerarRelatorio", "ecf_relatorio.html"}, {"exportarConciliacao", "ecf_conciliacao.csv"}};
  for (const auto& [button, path] : outputs) {
    ASSERT_TRUE(button->isEnabled());
    ui.answer(path);
    if (!button->isVisible()) window->tabs()->setCurrentWidget(button->parentWidget());
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(std::filesystem::is_regular_file(path)) << path;
    EXPECT_TRUE(window->statusBar()->currentMessage().contains(app::fromPath(path)))
        << window->statusBar()->currentMessage().toStdString();
    ASSERT_FALSE(ui.openRequests.empty());
    EXPECT_TRUE(ui.openRequests.back().save) << path;
    EXPECT_EQ(ui.openRequests.back().title.rfind("Salvar", 0), 0u) << ui.openRequests.back().title;
    EXPECT_EQ(ui.openRequests.back().initialName, proposed.at(button->objectName()));
  }
  EXPECT_TRUE(ui.messages.empty());

  // Neither the audited file nor its log are ever the output.
  const std::string audited = readFile(dir.file("ecf.txt"));
  const std::string log = readFile(dir.file("ecf.txt.log"));
  for (const auto& [button, path] : outputs)
    for (const std::string& input : {dir.file("ecf.txt"), dir.file("ecf.txt.log")}) {
      if (button->objectName() == "salvarLog" && input == dir.file("ecf.txt.log")) continue;  // the log is already there
      ui.answer(input);
      button->click();
    }
  EXPECT_EQ(readFile(dir.file("ecf.txt")), audited);
  EXPECT_EQ(readFile(dir.file("ecf.txt.log")), log);
  ASSERT_EQ(ui.messages.size(), 5u);
  for (const ShownMessage& m : ui.messages) EXPECT_EQ(m.title, "Erro!");
}

// The report opens through the desktop's opener; one that fails (no browser) is reported.
TEST_F(Workbench, AReportTheBrowserCannotShowIsReported) {
  const std::filesystem::path bin = dir.path() / "bin";
  std::filesystem::create_directories(bin);
  const std::string opener = (bin / "xdg-open").string();
  const auto writeOpener = [&](int exitCode) {
    writeFile(opener, "#!/bin/sh\necho \"$1\" >> '" + dir.file("aberto.txt") + "'\nexit " + std::to_string(exitCode) + "\n");
    std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
  };
  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", QByteArray::fromStdString(bin.string()) + ":" + path);
  struct RestorePath {
    QByteArray path;
    ~RestorePath() { qputenv("PATH", path); }
  } restore{path};

  auto window = validated(brokenCro());
  auto* report = window->findings()->findChild<QPushButton*>("gerarRelatorio");
  writeOpener(0);
  ui.answer(dir.file("r1.html"));
  report->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(dir.file("aberto.txt")); }, 5000));
  QTest::qWait(100);
  EXPECT_EQ(readFile(dir.file("aberto.txt")), dir.file("r1.html") + "\n");
  EXPECT_TRUE(ui.messages.empty());

  writeOpener(3);  // xdg-open: no program to open the page with
  ui.answer(dir.file("r2.html"));
  report->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !ui.messages.empty(); }, 5000));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].title, "Aviso");
  EXPECT_NE(ui.messages[0].text.find(dir.file("r2.html")), std::string::npos) << ui.messages[0].text;
}

// "Registro" decodes a line only as the record its finding speaks of: a finding of
// the whole file points to none, a file rewritten since the validation (even with
// its size and time put back) is not decoded, and an impossible date is no date.
TEST_F(Workbench, RegistroDecodesOnlyTheRecordAFindingSpeaksOf) {
  std::string text = readFile(std::string(TAVEX_SOURCE_DIR) + "/exemplos/tdm_coo_faltante.txt");
  const std::size_t date = text.find("\nE14") + 1 + static_cast<std::size_t>(fieldLayout(E14::DataInicio).start - 1);
  text.replace(date, 8, "20121345");
  auto window = validated(text);
  showActive(*window);
  const QString wholeFile = QString::fromUtf8("Este achado é do arquivo inteiro: não aponta um registro.");
  const int impossible = findingRow(*window, "Campo Data"), missing = findingRow(*window, "COO faltante");
  ASSERT_TRUE(missing >= 0 && impossible >= 0);
  enterOnFinding(*window, missing);
  EXPECT_EQ(window->record()->heading()->text(), wholeFile);
  enterOnFinding(*window, impossible);  // the first in the log, before the file's own
  QTest::mouseClick(window->record()->findChild<QPushButton*>("proximoAchado"), Qt::LeftButton);
  EXPECT_EQ(window->record()->heading()->text(), wholeFile);
  EXPECT_TRUE(shownMessage(*window).contains("COO faltante"));

  const auto decoded = [&] {
    enterOnFinding(*window, impossible);
    const int row = window->record()->highlightedRow();
    return row < 0 ? QString() : window->record()->fields()->item(row, 5)->text();
  };
  EXPECT_EQ(decoded(), "data inexistente");
  const auto modified = std::filesystem::last_write_time(dir.file("ecf.txt"));
  for (const std::string dated : {"20120102", "20121345"}) {  // another record of the same size, then the same bytes
    writeFile(dir.file("ecf.txt"), text.replace(date, 8, dated));
    std::filesystem::last_write_time(dir.file("ecf.txt"), modified);
    const bool same = dated == "20121345";
    EXPECT_EQ(decoded(), same ? "data inexistente" : "") << dated;
    EXPECT_EQ(window->record()->heading()->text().contains(QString::fromUtf8("mudou depois da validação")), !same);
    EXPECT_EQ(window->record()->fields()->rowCount() > 0, same);
  }
}

// A tolerance is read as the command line reads it; another text is refused and
// changes nothing, and the tolerance used is named beside the results it gave.
TEST_F(Workbench, TheToleranceBoxReadsWhatTheCommandLineReads) {
  auto window = validated(threeFindings());
  showActive(*window);
  QLabel* status = window->statusBar()->findChild<QLabel*>("estadoTolerancia");
  QString used = QString::fromUtf8("Tolerância: R$ 0,00");
  for (const auto& [typed, read] : std::vector<std::pair<const char*, const char*>>{
           {"0,5", ""}, {"10", "10,00"}, {"abc", ""}, {"1,234", ""}, {"10.000,00", "10.000,00"}, {"", ""}}) {
    window->tolerance()->setFocus();
    QTest::keyClick(window->tolerance(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(window->tolerance(), Qt::Key_Delete);
    QTest::keyClicks(window->tolerance(), typed);
    const std::size_t before = ui.messages.size();
    QTest::mouseClick(window->button("validarArquivoTexto"), Qt::LeftButton);
    const bool refused = *read == 0;
    ASSERT_EQ(ui.messages.size(), before + (refused ? 1 : 0)) << typed;
    if (refused)
      EXPECT_NE(ui.messages.back().text.find("1.000) ou reais, "_cp), std::string::npos);
    else
      used = QString::fromUtf8("Tolerância: R$ ") + read;
    EXPECT_EQ(status->text(), used) << typed;
    for (QWidget* tab : std::initializer_list<QWidget*>{window->findings(), window->indicators(), window->reconciliation()})
      EXPECT_TRUE(tab->findChild<QLabel*>("origem")->text().endsWith(used)) << typed;
    EXPECT_EQ(findingsTable(*window)->model()->rowCount(), 3) << typed;
  }
}

// What is shown stays until a validation replaces it: a cancelled chooser or a
// validation that cannot run keeps it. A validation leaves nothing stale in view.
TEST_F(Workbench, ResultsStayUntilAValidationReplacesThemAndNothingStaleStays) {
  auto window = validated(brokenCro());
  showActive(*window);
  enterOnFinding(*window, 0);
  ui.answer(std::nullopt);
  QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(window->model().state.currentCotepePath, dir.file("ecf.txt"));
  std::filesystem::rename(dir.file("ecf.txt"), dir.file("fora.txt"));
  QTest::keyClick(window.get(), Qt::Key_F5);  // the file is gone: a message, the results stay
  std::filesystem::rename(dir.file("fora.txt"), dir.file("ecf.txt"));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(findingsTable(*window)->model()->rowCount(), 1);
  EXPECT_TRUE(window->results()->toPlainText().contains("Linha 2: Campo 11"));

  // "Salvar log como…" proposes a name it takes.
  ui.answer(std::nullopt);
  QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
  const std::string proposed = ui.openRequests.back().initialName;
  EXPECT_NE(proposed, "ecf.txt.log");
  ui.answer(dir.file(proposed));
  QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(readFile(dir.file(proposed)), readFile(dir.file("ecf.txt.log")));
  EXPECT_FALSE(window->statusBar()->currentMessage().isEmpty());

  // Another file opened: the status bar names it, whatever it said before.
  writeFile(dir.file("outro.txt"), joinLines(threeFindings()));
  ui.answer(dir.file("outro.txt"));
  QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
  EXPECT_TRUE(window->statusBar()->currentMessage().isEmpty());
  EXPECT_TRUE(window->statusBar()->findChild<QLabel*>("estadoArquivo")->isVisible());
  // Validated: "Registro" no longer shows the other file, and walks the new findings.
  QTest::keyClick(window.get(), Qt::Key_F5);
  EXPECT_EQ(window->record()->fields()->rowCount(), 0);
  EXPECT_TRUE(window->record()->origin()->isHidden());
  QTest::mouseClick(window->record()->findChild<QPushButton*>("proximoAchado"), Qt::LeftButton);
  EXPECT_TRUE(window->record()->heading()->text().startsWith("Linha 2: E02"));
  EXPECT_TRUE(window->record()->origin()->text().contains(app::fromPath(dir.file("outro.txt"))));
  EXPECT_EQ(ui.messages.size(), 1u);
}

}  // namespace
}  // namespace tavex::testing
