#include "app/reconciliation_view.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QSplitter>
#include <QTreeWidget>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>

#include "app/origin_bar.h"
#include "app/qt_text.h"
#include "cotepe/br_format.h"
#include "export/table_csv.h"

namespace tavex::app {

namespace {

QString utf8(const char* text) { return QString::fromUtf8(text); }

const QColor kOverTolerance(255, 205, 205);

// |cents| without overflow for the most negative value.
std::uint64_t magnitude(std::int64_t cents) {
  return cents < 0 ? 0 - static_cast<std::uint64_t>(cents) : static_cast<std::uint64_t>(cents);
}

constexpr int kLineRole = Qt::UserRole + 1;  // the line of the record declaring a row's total
constexpr std::size_t kOpenedAtOnce = 50;    // reductions opened on their totals over the tolerance

// A reduction's row (its date, CRZ and E12) or, with `under`, a total under it.
// A total whose sum is no fact (sumIsFact of `shown`) has its computed sum and
// difference greyed, saying why (`incomplete`), and is never marked over the tolerance.
void fill(QTreeWidgetItem* item, const ReductionReconciliation& reduction, const ReconciledTotal* total, bool under,
          const Reconciliation& shown, const QString& incomplete) {
  const bool fact = total == nullptr || sumIsFact(shown, *total);
  QStringList cells;
  if (under)
    cells << QString() << QString();
  else
    cells << dayOf(reduction.date) << QString::number(reduction.crz);
  if (total != nullptr) {
    QString name = QString::fromLatin1(recordNameOf(total->kind).data(), static_cast<qsizetype>(recordNameOf(total->kind).size()));
    if (!total->name.empty()) name += " " + fromCp1252(total->name);
    cells << name << money(total->declared) << money(total->computed) << money(total->difference);
    item->setData(0, kLineRole, total->line);
  }
  for (int column = 0; column < cells.size(); ++column) item->setText(column, cells[column]);
  for (int column = 3; column < 6; ++column) item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
  if (total != nullptr && !total->withinTolerance && fact)
    for (int column = 0; column < 6; ++column) item->setBackground(column, kOverTolerance);
  if (!fact)
    for (int column = 4; column < 6; ++column) {
      item->setForeground(column, QColor(0x70, 0x70, 0x70));
      QFont italic = item->font(column);
      italic.setItalic(true);
      item->setFont(column, italic);
      item->setToolTip(column, utf8("Soma incompleta. ") + incomplete);
    }
}

// The reduction's E12, shown on its own row.
const ReconciledTotal* grossSales(const ReductionReconciliation& reduction) {
  return !reduction.totals.empty() && reduction.totals.front().kind == TotalKind::GrossSales ? &reduction.totals.front()
                                                                                            : nullptr;
}

// Numbers as an auditor lists them: "12", "12 e 14", "12 a 29, 31 e 40".
QString linesAsRanges(std::vector<int> lines) {
  std::sort(lines.begin(), lines.end());
  lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
  QStringList ranges;
  for (std::size_t i = 0; i < lines.size();) {
    std::size_t end = i;
    while (end + 1 < lines.size() && lines[end + 1] == lines[end] + 1) ++end;
    if (end > i + 1)
      ranges << utf8("%1 a %2").arg(lines[i]).arg(lines[end]);
    else
      for (std::size_t n = i; n <= end; ++n) ranges << QString::number(lines[n]);
    i = end + 1;
  }
  if (ranges.size() < 2) return ranges.join(QString());
  const QString last = ranges.takeLast();
  return ranges.join(", ") + " e " + last;
}

}  // namespace

bool sumIsFact(const Reconciliation& reconciliation, const ReconciledTotal&) {
  // The documents of every reduction follow its declaring records in the file, and
  // their sums stopped at the format error: no computed sum of the run is whole.
  return reconciliation.complete;
}

QString money(std::int64_t cents) { return QString::fromStdString(brazilianMoney(cents)); }

QString dayOf(const std::string& date) {
  const std::optional<std::string> day = brazilianDate(date);
  return fromCp1252(day ? *day : date);
}

std::string reconciliationCsv(const Reconciliation& reconciliation) {
  CsvTable csv;  // the program's one CSV convention: a name holding ';' or quotes stays one field
  csv.rowUtf8({"Data", "CRZ", "Registro", "Nome", "Linha", "Declarado", "Calculado", "Diferença", "Dentro da tolerância"});
  for (const ReductionReconciliation& r : reconciliation.reductions)
    for (const ReconciledTotal& t : r.totals)
      csv.row({toCp1252(dayOf(r.date)), std::to_string(r.crz), std::string(recordNameOf(t.kind)), t.name,
               std::to_string(t.line), brazilianMoney(t.declared), brazilianMoney(t.computed),
               brazilianMoney(t.difference), t.withinTolerance ? "Sim" : "Não"_cp});
  return csv.text();
}

ReconciliationPanel::ReconciliationPanel(QWidget* parent) : QWidget(parent), origin_(new OriginBar(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(origin_);
  incomplete_ = new QLabel(this);
  incomplete_->setObjectName("avisoCausaConciliacao");
  incomplete_->setWordWrap(true);
  incomplete_->setStyleSheet("QLabel { background: #fde8e6; color: #b00020; border: 1px solid #b00020; font-weight: bold; }");
  incomplete_->setMargin(4);
  causeFirst_ = new QPushButton(utf8("Mostrar a causa primeiro"), this);
  causeFirst_->setObjectName("mostrarCausaConciliacao");
  causeFirst_->setToolTip(utf8("Os erros de formato no alto da aba \"Achados\""));
  auto* banner = new QHBoxLayout;
  banner->addWidget(incomplete_, 1);
  banner->addWidget(causeFirst_, 0, Qt::AlignVCenter);
  incomplete_->hide();
  causeFirst_->hide();
  layout->addLayout(banner);
  connect(causeFirst_, &QPushButton::clicked, this, &ReconciliationPanel::causeRequested);
  auto* bar = new QHBoxLayout;
  layout->addLayout(bar);
  empty_ = new QLabel(utf8("Valide um arquivo (\"Validar Arquivo Texto\") para conciliar as reduções Z com os documentos."), this);
  empty_->setObjectName("conciliacaoVazia");
  empty_->setWordWrap(true);
  export_ = new QPushButton(utf8("Exportar CSV"), this);
  export_->setObjectName("exportarConciliacao");
  export_->setToolTip(utf8("Gravar a tabela da conciliação num arquivo CSV"));
  export_->setEnabled(false);
  bar->addWidget(empty_, 1);
  bar->addWidget(export_);

  // The chart under the table, across the tab's whole width: a month of days, or
  // the months of years, each with its label whole.
  auto* split = new QSplitter(Qt::Vertical, this);
  split->setObjectName("divisaoConciliacao");
  split->setChildrenCollapsible(false);
  table_ = new QTreeWidget(split);
  table_->setObjectName("tabelaConciliacao");
  table_->setHeaderLabels({utf8("Data"), utf8("CRZ"), utf8("Total"), utf8("Declarado"), utf8("Calculado"), utf8("Diferença")});
  table_->setUniformRowHeights(true);
  table_->setColumnWidth(0, 100);
  table_->setColumnWidth(1, 40);
  table_->setColumnWidth(2, 165);
  table_->setColumnWidth(3, 85);
  table_->setColumnWidth(4, 85);
  table_->setToolTip(utf8("Duplo clique ou Enter numa linha: o registro que declara o total"));

  // The chart: its title above it (never on the bars), the grouping, and the days' scroll under it.
  auto* chartBox = new QWidget(split);
  auto* chartLayout = new QVBoxLayout(chartBox);
  chartLayout->setContentsMargins(0, 0, 0, 0);
  auto* chartBar = new QHBoxLayout;
  chartTitle_ = new QLabel(utf8("Maior diferença de cada dia (R$)"), chartBox);
  chartTitle_->setObjectName("tituloGrafico");
  QFont titleFont = chartTitle_->font();
  titleFont.setBold(true);
  chartTitle_->setFont(titleFont);
  grouping_ = new QComboBox(chartBox);
  grouping_->setObjectName("agrupamentoGrafico");
  grouping_->addItem(utf8("Por dia"));
  grouping_->addItem(utf8("Por mês"));
  grouping_->setToolTip(utf8("Uma barra por dia ou por mês; um clique num mês volta aos seus dias"));
  chartBar->addWidget(chartTitle_, 1);
  chartBar->addWidget(grouping_);
  chartLayout->addLayout(chartBar);
  auto* chart = new QChart;
  chart->legend()->hide();
  chart->setMargins(QMargins(2, 2, 2, 2));
  chart->setBackgroundRoundness(0);
  chart->setLocalizeNumbers(true);
  chart->setLocale(QLocale(QLocale::Portuguese, QLocale::Brazil));
  chart_ = new QChartView(chart, chartBox);
  chart_->setObjectName("graficoConciliacao");
  chart_->setRenderHint(QPainter::Antialiasing);
  chartLayout->addWidget(chart_, 1);
  scroll_ = new QScrollBar(Qt::Horizontal, chartBox);
  scroll_->setObjectName("rolagemGrafico");
  scroll_->setToolTip(utf8("Os dias mostrados no gráfico"));
  scroll_->hide();
  chartLayout->addWidget(scroll_);
  split->addWidget(table_);
  split->addWidget(chartBox);
  split->setStretchFactor(0, 2);
  split->setStretchFactor(1, 3);
  split->setSizes({200, 300});
  chart_->installEventFilter(this);
  layout->addWidget(split, 1);
  table_->setVisible(false);
  chart_->parentWidget()->setVisible(false);
  connect(table_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* row) {
    const auto i = static_cast<std::size_t>(row->data(0, Qt::UserRole).toULongLong());
    if (row->parent() != nullptr || row->childCount() > 0 || i >= shown_.size()) return;
    row->addChildren(totalsUnder(shown_[i]));
  });
  connect(table_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* row) {
    if (const int line = row->data(0, kLineRole).toInt(); line > 0) emit lineActivated(line);
  });
  connect(export_, &QPushButton::clicked, this, &ReconciliationPanel::exportRequested);
  connect(grouping_, &QComboBox::currentIndexChanged, this, [this] { drawChart(); });
  connect(scroll_, &QScrollBar::valueChanged, this, &ReconciliationPanel::showDaysFrom);
}

void ReconciliationPanel::setReconciliation(const std::optional<Reconciliation>& reconciliation) {
  table_->clear();
  shown_.clear();
  months_.clear();
  header_ = Reconciliation{};
  if (reconciliation) {
    header_.toleranceCents = reconciliation->toleranceCents;
    header_.complete = reconciliation->complete;
    header_.switchedOffAtLine = reconciliation->switchedOffAtLine;
  }
  const bool any = reconciliation && !reconciliation->reductions.empty();
  incompleteText_ = reconciliation && !reconciliation->complete ? fromCp1252(switchedOffNotice(*reconciliation)) + "."
                                                                  : QString();
  // Which rows that makes no facts, by the lines that declare their totals.
  std::vector<int> unsure;
  std::size_t over = 0, facts = 0, unchecked = 0;
  if (reconciliation)
    for (const ReductionReconciliation& r : reconciliation->reductions)
      for (const ReconciledTotal& t : r.totals) {
        if (!sumIsFact(*reconciliation, t)) {
          ++unchecked;
          unsure.push_back(t.line > 0 ? t.line : r.line);
          continue;
        }
        ++facts;
        over += t.withinTolerance ? 0 : 1;
      }
  unsure.erase(std::remove(unsure.begin(), unsure.end(), 0), unsure.end());
  QString affected;
  if (!unsure.empty())
    affected = utf8(unsure.size() == 1 ? " A soma calculada do total da linha %1 não é fato: não é conferida com a tolerância."
                                       : " As somas calculadas dos totais das linhas %1 não são fatos: não são conferidas com a "
                                         "tolerância.")
                   .arg(linesAsRanges(unsure));
  incomplete_->setText(incompleteText_.isEmpty() ? QString() : incompleteText_ + affected);
  incomplete_->setVisible(!incompleteText_.isEmpty());
  causeFirst_->setVisible(!incompleteText_.isEmpty());
  table_->setVisible(any);
  chart_->parentWidget()->setVisible(any);
  export_->setEnabled(any);
  if (!any) {
    empty_->setText(reconciliation ? utf8("O arquivo não tem reduções Z: não há totais a conciliar.")
                                   : utf8("A conciliação vem da validação completa (\"Validar Arquivo Texto\") que chega aos totais."));
    drawChart();
    return;
  }
  // Only the rows whose sums are facts are held to the tolerance.
  const QString tolerance = money(reconciliation->toleranceCents);
  QStringList summary;
  if (!incompleteText_.isEmpty()) summary << utf8("Somas incompletas.");
  if (unchecked > 0) summary << utf8("%1 total(is) sem soma completa, não conferido(s).").arg(unchecked);
  if (over > 0)
    summary << utf8("%1 total(is) fora da tolerância de R$ %2, em destaque.").arg(over).arg(tolerance);
  else if (facts > 0)
    summary << utf8(unchecked > 0 ? "Os demais estão dentro da tolerância de R$ %1." : "Todos os totais estão dentro da tolerância de R$ %1.")
                   .arg(tolerance);
  empty_->setText(summary.join(' '));

  shown_ = reconciliation->reductions;
  QList<QTreeWidgetItem*> rows;
  rows.reserve(static_cast<qsizetype>(shown_.size()));
  std::vector<QTreeWidgetItem*> expand;
  for (std::size_t i = 0; i < shown_.size(); ++i) {
    const ReductionReconciliation& reduction = shown_[i];
    auto* row = new QTreeWidgetItem;
    row->setData(0, Qt::UserRole, static_cast<qulonglong>(i));
    fill(row, reduction, grossSales(reduction), false, header_, incompleteText_);
    if (row->data(0, kLineRole).toInt() == 0) row->setData(0, kLineRole, reduction.line);
    // The totals under a reduction are made when it is first opened.
    if (reduction.totals.size() > (grossSales(reduction) != nullptr ? 1u : 0u))
      row->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    bool rowOver = false;
    for (const ReconciledTotal& total : reduction.totals) rowOver = rowOver || (!total.withinTolerance && sumIsFact(header_, total));
    // The first reductions with a total over the tolerance open on their totals; a
    // file full of them is a list to walk, not a tree to unfold whole.
    if (rowOver && expand.size() < kOpenedAtOnce) {
      // Made before the row is in the tree: no signal for every cell of its totals.
      row->addChildren(totalsUnder(reduction));
      expand.push_back(row);
    }
    rows << row;
    const QString month = reduction.date.size() == 8 ? fromCp1252(reduction.date.substr(4, 2) + "/" + reduction.date.substr(0, 4))
                                                     : utf8("sem data");
    if (months_.empty() || months_.back().first != month) months_.emplace_back(month, static_cast<int>(i));
  }
  table_->addTopLevelItems(rows);
  for (QTreeWidgetItem* row : expand) row->setExpanded(true);
  // A year of reductions reads by month; a month or two, by day.
  const QSignalBlocker block(grouping_);
  grouping_->setCurrentIndex(shown_.size() > 2 * kDaysShown ? 1 : 0);
  drawChart();
}

QList<QTreeWidgetItem*> ReconciliationPanel::totalsUnder(const ReductionReconciliation& reduction) const {
  QList<QTreeWidgetItem*> under;
  for (const ReconciledTotal& total : reduction.totals) {
    if (&total == grossSales(reduction)) continue;
    auto* item = new QTreeWidgetItem;
    fill(item, reduction, &total, true, header_, incompleteText_);
    under << item;
  }
  return under;
}

void ReconciliationPanel::drawChart() {
  QChart* chart = chart_->chart();
  chart->removeAllSeries();
  for (QAbstractAxis* axis : chart->axes()) {
    chart->removeAxis(axis);
    delete axis;
  }
  bars_ = nullptr;
  axisX_ = nullptr;
  scroll_->hide();
  if (shown_.empty()) return;
  const bool byMonth = grouping_->currentIndex() == 1;
  chartTitle_->setText(byMonth ? utf8("Maior diferença de cada mês (R$); clique num mês para ver os seus dias")
                               : utf8("Maior diferença de cada dia (R$)"));
  auto* series = new QBarSeries;
  bars_ = new QBarSet(utf8("Diferença"));
  QStringList labels;
  QSet<QString> used;
  double low = 0, high = 0;
  const auto largestOf = [this](const ReductionReconciliation& reduction) {
    std::int64_t largest = 0;
    for (const ReconciledTotal& total : reduction.totals)
      if (sumIsFact(header_, total) && magnitude(total.difference) > magnitude(largest)) largest = total.difference;
    return largest;
  };
  const auto add = [&](const QString& label, std::int64_t largest) {
    const double difference = static_cast<double>(largest) / 100.0;
    bars_->append(difference);
    low = std::min(low, difference);
    high = std::max(high, difference);
    // Categories must differ: a day seen again (another year, another reduction) says more.
    QString unique = label;
    for (int n = 2; used.contains(unique); ++n) unique = label + QString(" (%1)").arg(n);
    used.insert(unique);
    labels << unique;
  };
  if (byMonth) {
    for (std::size_t m = 0; m < months_.size(); ++m) {
      const std::size_t end = m + 1 < months_.size() ? static_cast<std::size_t>(months_[m + 1].second) : shown_.size();
      std::int64_t largest = 0;
      for (std::size_t i = static_cast<std::size_t>(months_[m].second); i < end; ++i)
        if (magnitude(largestOf(shown_[i])) > magnitude(largest)) largest = largestOf(shown_[i]);
      add(months_[m].first, largest);
    }
  } else {
    for (const ReductionReconciliation& reduction : shown_)
      add(reduction.date.empty() ? QString("CRZ %1").arg(reduction.crz) : dayOf(reduction.date).left(5), largestOf(reduction));
  }
  series->append(bars_);
  chart->addSeries(series);
  axisX_ = new QBarCategoryAxis;
  axisX_->append(labels);
  fitLabels();
  auto* y = new QValueAxis;
  y->setRange(low, high > low ? high : low + 1.0);
  y->applyNiceNumbers();
  y->setLabelFormat("%.2f");
  chart->addAxis(axisX_, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  series->attachAxis(axisX_);
  series->attachAxis(y);
  connect(bars_, &QBarSet::clicked, this, [this, byMonth](int index) {
    if (byMonth) {  // back to the month's days
      if (index < 0 || static_cast<std::size_t>(index) >= months_.size()) return;
      const int first = months_[static_cast<std::size_t>(index)].second;
      grouping_->setCurrentIndex(0);
      scroll_->setValue(std::min(first, scroll_->maximum()));
      if (QTreeWidgetItem* row = table_->topLevelItem(first)) table_->setCurrentItem(row);
      return;
    }
    if (QTreeWidgetItem* row = table_->topLevelItem(index)) {
      table_->setCurrentItem(row);
      table_->scrollToItem(row);
    }
  });
  if (!byMonth && static_cast<int>(labels.size()) > kDaysShown) {
    const QSignalBlocker block(scroll_);
    scroll_->setRange(0, static_cast<int>(labels.size()) - kDaysShown);
    scroll_->setPageStep(kDaysShown);
    scroll_->show();
    showDaysFrom(scroll_->value());
  }
}

void ReconciliationPanel::fitLabels() {
  if (axisX_ == nullptr) return;
  const QStringList labels = axisX_->categories();
  const int shown = grouping_->currentIndex() == 0 ? std::min(kDaysShown, static_cast<int>(labels.size()))
                                                   : static_cast<int>(labels.size());
  if (shown == 0) return;
  // Across when the widest label fits its bar's room, else turned upright.
  const QFontMetrics metrics(axisX_->labelsFont());
  int widest = 0;
  for (const QString& label : labels) widest = std::max(widest, metrics.horizontalAdvance(label));
  const QRectF plot = chart_->chart()->plotArea();
  // The plot's width once the chart is laid out at its size; the view's, less the values' axis, before.
  const double width = plot.width() > chart_->width() / 2 ? plot.width() : chart_->width() - 80.0;
  const double room = width / shown;
  const int angle = widest + metrics.averageCharWidth() * 2 <= room ? 0 : -90;
  if (axisX_->labelsAngle() != angle) axisX_->setLabelsAngle(angle);
}

bool ReconciliationPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == chart_ && (event->type() == QEvent::Resize || event->type() == QEvent::Show)) fitLabels();
  return QWidget::eventFilter(watched, event);
}

void ReconciliationPanel::showDaysFrom(int first) {
  if (axisX_ == nullptr || grouping_->currentIndex() != 0) return;
  const QStringList labels = axisX_->categories();
  if (labels.isEmpty()) return;
  const int from = std::clamp(first, 0, static_cast<int>(labels.size()) - 1);
  const int to = std::min(from + kDaysShown, static_cast<int>(labels.size())) - 1;
  axisX_->setRange(labels[from], labels[to]);
}

}  // namespace tavex::app
