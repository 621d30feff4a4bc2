#include "app/reconciliation_view.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QValueAxis>
#include <QVBoxLayout>


#include "app/origin_bar.h"
#include "app/qt_text.h"
#include "cotepe/br_format.h"

namespace tavex::app {

namespace {

QString utf8(const char* text) { return QString::fromUtf8(text); }

const QColor kOverTolerance(255, 205, 205);

// |cents| without overflow for the most negative value.
std::uint64_t magnitude(std::int64_t cents) {
  return cents < 0 ? 0 - static_cast<std::uint64_t>(cents) : static_cast<std::uint64_t>(cents);
}

// A reduction's row (its date, CRZ and E12) or, with `under`, a total under it.
void fill(QTreeWidgetItem* item, const ReductionReconciliation& reduction, const ReconciledTotal* total, bool under) {
  QStringList cells;
  if (under)
    cells << QString() << QString();
  else
    cells << dayOf(reduction.date) << QString::number(reduction.crz);
  if (total != nullptr) {
    QString name = QString::fromLatin1(recordNameOf(total->kind).data(), static_cast<qsizetype>(recordNameOf(total->kind).size()));
    if (!total->name.empty()) name += " " + fromCp1252(total->name);
    cells << name << money(total->declared) << money(total->computed) << money(total->difference);
  }
  for (int column = 0; column < cells.size(); ++column) item->setText(column, cells[column]);
  for (int column = 3; column < 6; ++column) item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
  if (total != nullptr && !total->withinTolerance)
    for (int column = 0; column < 6; ++column) item->setBackground(column, kOverTolerance);
}

// The reduction's E12, shown on its own row.
const ReconciledTotal* grossSales(const ReductionReconciliation& reduction) {
  return !reduction.totals.empty() && reduction.totals.front().kind == TotalKind::GrossSales ? &reduction.totals.front()
                                                                                            : nullptr;
}

}  // namespace

QString money(std::int64_t cents) { return QString::fromStdString(brazilianMoney(cents)); }

QString dayOf(const std::string& date) {
  const std::optional<std::string> day = brazilianDate(date);
  return fromCp1252(day ? *day : date);
}

std::string reconciliationCsv(const Reconciliation& reconciliation) {
  std::string csv = "Data;CRZ;Registro;Nome;Linha;Declarado;Calculado;Diferença;Dentro da tolerância\r\n"_cp;
  for (const ReductionReconciliation& r : reconciliation.reductions)
    for (const ReconciledTotal& t : r.totals) {
      csv += toCp1252(dayOf(r.date)) + ";" + std::to_string(r.crz) + ";" + std::string(recordNameOf(t.kind)) + ";" + t.name +
             ";" + std::to_string(t.line) + ";" + brazilianMoney(t.declared) + ";" + brazilianMoney(t.computed) + ";" +
             brazilianMoney(t.difference) + ";" + (t.withinTolerance ? "Sim" : "Não"_cp) + "\r\n";
    }
  return csv;
}

ReconciliationPanel::ReconciliationPanel(QWidget* parent) : QWidget(parent), origin_(new OriginBar(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(origin_);
  auto* bar = new QHBoxLayout;
  layout->addLayout(bar);
  empty_ = new QLabel(utf8("Valide um arquivo (\"Validar Arquivo Texto\") para conciliar as reduções Z com os documentos."), this);
  empty_->setObjectName("conciliacaoVazia");
  empty_->setWordWrap(true);
  export_ = new QPushButton(utf8("Exportar CSV"), this);
  export_->setObjectName("exportarConciliacao");
  export_->setEnabled(false);
  bar->addWidget(empty_, 1);
  bar->addWidget(export_);

  auto* split = new QSplitter(Qt::Horizontal, this);
  table_ = new QTreeWidget(split);
  table_->setObjectName("tabelaConciliacao");
  table_->setHeaderLabels({utf8("Data"), utf8("CRZ"), utf8("Total"), utf8("Declarado"), utf8("Calculado"), utf8("Diferença")});
  table_->setUniformRowHeights(true);
  table_->setColumnWidth(0, 100);
  table_->setColumnWidth(1, 40);
  table_->setColumnWidth(2, 165);
  table_->setColumnWidth(3, 85);
  table_->setColumnWidth(4, 85);
  auto* chart = new QChart;
  chart->setTitle(utf8("Maior diferença de cada dia (R$)"));
  chart->legend()->hide();
  chart->setMargins(QMargins(2, 2, 2, 2));
  chart->setBackgroundRoundness(0);
  chart_ = new QChartView(chart, split);
  chart_->setObjectName("graficoConciliacao");
  chart_->setRenderHint(QPainter::Antialiasing);
  split->addWidget(table_);
  split->addWidget(chart_);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 2);
  split->setSizes({640, 320});
  layout->addWidget(split, 1);
  table_->setVisible(false);
  chart_->setVisible(false);
  connect(table_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* row) {
    const auto i = static_cast<std::size_t>(row->data(0, Qt::UserRole).toULongLong());
    if (row->parent() != nullptr || row->childCount() > 0 || i >= shown_.size()) return;
    const ReductionReconciliation& reduction = shown_[i];
    for (const ReconciledTotal& total : reduction.totals)
      if (&total != grossSales(reduction)) fill(new QTreeWidgetItem(row), reduction, &total, true);
  });
  connect(export_, &QPushButton::clicked, this, &ReconciliationPanel::exportRequested);
}

void ReconciliationPanel::setReconciliation(const std::optional<Reconciliation>& reconciliation) {
  table_->clear();
  shown_.clear();
  QChart* chart = chart_->chart();
  chart->removeAllSeries();
  for (QAbstractAxis* axis : chart->axes()) {
    chart->removeAxis(axis);
    delete axis;
  }
  bars_ = nullptr;
  const bool any = reconciliation && !reconciliation->reductions.empty();
  table_->setVisible(any);
  chart_->setVisible(any);
  export_->setEnabled(any);
  if (!any) {
    empty_->setText(reconciliation ? utf8("O arquivo não tem reduções Z: não há totais a conciliar.")
                                   : utf8("A conciliação vem da validação completa (\"Validar Arquivo Texto\") que chega aos totais."));
    return;
  }
  const std::size_t over = reconciliation->rowsOverTolerance();
  empty_->setText(over == 0 ? utf8("Todos os totais estão dentro da tolerância de R$ %1.").arg(money(reconciliation->toleranceCents))
                            : utf8("%1 total(is) fora da tolerância de R$ %2, em destaque.")
                                  .arg(over)
                                  .arg(money(reconciliation->toleranceCents)));

  shown_ = reconciliation->reductions;
  auto* series = new QBarSeries;
  bars_ = new QBarSet(utf8("Diferença"));
  QStringList days;
  double low = 0, high = 0;
  QList<QTreeWidgetItem*> rows;
  rows.reserve(static_cast<qsizetype>(shown_.size()));
  std::vector<QTreeWidgetItem*> expand;
  for (std::size_t i = 0; i < shown_.size(); ++i) {
    const ReductionReconciliation& reduction = shown_[i];
    auto* row = new QTreeWidgetItem;
    row->setData(0, Qt::UserRole, static_cast<qulonglong>(i));
    fill(row, reduction, grossSales(reduction), false);
    // The totals under a reduction are made when it is first opened.
    if (reduction.totals.size() > (grossSales(reduction) != nullptr ? 1u : 0u))
      row->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    bool rowOver = false;
    for (const ReconciledTotal& total : reduction.totals) rowOver = rowOver || !total.withinTolerance;
    if (rowOver) expand.push_back(row);
    rows << row;
    // The day's bar: its largest difference, whichever total has it.
    std::int64_t largest = 0;
    for (const ReconciledTotal& total : reduction.totals)
      if (magnitude(total.difference) > magnitude(largest)) largest = total.difference;
    const double difference = static_cast<double>(largest) / 100.0;
    bars_->append(difference);
    low = std::min(low, difference);
    high = std::max(high, difference);
    days << (reduction.date.empty() ? QString("CRZ %1").arg(reduction.crz) : dayOf(reduction.date).left(5));
  }
  table_->addTopLevelItems(rows);
  for (QTreeWidgetItem* row : expand) row->setExpanded(true);
  series->append(bars_);
  chart->addSeries(series);
  auto* x = new QBarCategoryAxis;
  x->append(days);
  auto* y = new QValueAxis;
  y->setRange(low, high > low ? high : low + 1.0);
  y->applyNiceNumbers();
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  series->attachAxis(x);
  series->attachAxis(y);
  connect(bars_, &QBarSet::clicked, this, [this](int index) {
    if (QTreeWidgetItem* row = table_->topLevelItem(index)) {
      table_->setCurrentItem(row);
      table_->scrollToItem(row);
    }
  });
}

}  // namespace tavex::app
