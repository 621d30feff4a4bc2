#include "app/indicators_view.h"

#include <QApplication>
#include <QBrush>
#include <QComboBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "app/origin_bar.h"
#include "app/record_view.h"
#include "app/qt_text.h"
#include "app/result_table.h"
#include "window/indicator_display.h"

namespace tavex::app {

namespace {

bool isAlert(const Indicator& i) { return i.level == IndicatorLevel::Alerta; }

QVariant counter(std::int64_t value) { return value > 0 ? QVariant(static_cast<qlonglong>(value)) : QVariant(); }

}  // namespace

void IndicatorsModel::setIndicators(const std::vector<Indicator>* indicators) {
  beginResetModel();
  indicators_ = indicators;
  endResetModel();
}

int IndicatorsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || indicators_ == nullptr ? 0 : static_cast<int>(indicators_->size());
}

int IndicatorsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant IndicatorsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || indicators_ == nullptr) return {};
  const Indicator& i = indicator(index.row());
  const bool alert = isAlert(i);
  const int column = index.column();
  if (role == Qt::DisplayRole) {
    switch (column) {
      case LevelColumn: return QString::fromUtf8(alert ? "Alerta" : "Informação");
      case CodeColumn: return QString::fromLatin1(i.code.data(), static_cast<qsizetype>(i.code.size()));
      case LineColumn:
        if (i.count > 1) return QString::fromUtf8("%1–%2").arg(i.line).arg(i.lastLine);
        return i.line > 0 ? QVariant(i.line) : QVariant();
      case CrzColumn: return counter(i.crz);
      case CooColumn: return counter(i.coo);
      case ExpectedColumn: return fromCp1252(auditorValue(i, i.expected));
      case FoundColumn: return fromCp1252(auditorValue(i, i.found));
      case MessageColumn: return fromCp1252(i.sentence);
      default: return {};
    }
  }
  if (role == Qt::UserRole) {  // sort keys
    switch (column) {
      case LevelColumn: return (alert ? 0LL : 1LL << 32) + i.line;
      case LineColumn: return i.line;
      case CrzColumn: return static_cast<qlonglong>(i.crz);
      case CooColumn: return static_cast<qlonglong>(i.coo);
      default: return data(index, Qt::DisplayRole);
    }
  }
  if (role == Qt::ToolTipRole && column == MessageColumn) {
    // The consequences of one cause: each of them behind the one row.
    QString text = fromCp1252(i.sentence);
    for (const Indicator& member : i.members)
      text += QString::fromUtf8("\nLinha %1: ").arg(member.line) + fromCp1252(member.sentence);
    return text;
  }
  if (role == Qt::ToolTipRole && column == LevelColumn) return QString::fromLatin1(i.code.data(), static_cast<qsizetype>(i.code.size()));
  if (role == Qt::DecorationRole && column == LevelColumn)
    return QApplication::style()->standardIcon(alert ? QStyle::SP_MessageBoxWarning : QStyle::SP_MessageBoxInformation);
  if (role == Qt::ForegroundRole && alert && (column == LevelColumn || column == MessageColumn)) return QBrush(kErrorColour);
  if (role == Qt::TextAlignmentRole && (column == LineColumn || column == CrzColumn || column == CooColumn))
    return QVariant(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

QVariant IndicatorsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
  static const char* const names[] = {"Nível", "Código", "Linha", "CRZ", "COO", "Esperado", "Encontrado", "Mensagem"};
  return section >= 0 && section < ColumnCount ? QString::fromUtf8(names[section]) : QVariant();
}

void IndicatorsFilter::setLevel(int level) {
  level_ = level;
  invalidateFilter();
}

bool IndicatorsFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
  if (level_ < 0) return true;
  const bool alert = isAlert(static_cast<const IndicatorsModel*>(sourceModel())->indicator(sourceRow));
  return alert == (level_ == 0);
}

IndicatorsPanel::IndicatorsPanel(QWidget* parent)
    : QWidget(parent), origin_(new OriginBar(this)), model_(new IndicatorsModel(this)), filter_(new IndicatorsFilter(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(origin_);
  auto* bar = new QHBoxLayout;
  layout->addLayout(bar);
  level_ = new QComboBox(this);
  level_->setObjectName("filtroNivel");
  level_->addItem(QString::fromUtf8("Todos os indícios"), -1);
  level_->addItem(QString::fromUtf8("Só alertas"), 0);
  level_->addItem(QString::fromUtf8("Só informações"), 1);
  bar->addWidget(new QLabel(QString::fromUtf8("Mostrar:"), this));
  bar->addWidget(level_);
  bar->addStretch(1);

  filter_->setSourceModel(model_);
  // The list and the record of its current row, side by side, as in "Achados".
  auto* split = new QSplitter(Qt::Horizontal, this);
  split->setObjectName("divisaoIndicios");
  split->setChildrenCollapsible(false);
  table_ = new QTableView(split);
  table_->setObjectName("tabelaIndicios");
  setUpResultTable(table_, filter_, IndicatorsModel::LevelColumn);
  table_->setColumnWidth(IndicatorsModel::LevelColumn, 105);
  table_->setColumnWidth(IndicatorsModel::LineColumn, 50);
  table_->setColumnWidth(IndicatorsModel::CrzColumn, 44);
  table_->setColumnWidth(IndicatorsModel::CooColumn, 54);
  table_->setColumnWidth(IndicatorsModel::ExpectedColumn, 95);
  table_->setColumnWidth(IndicatorsModel::FoundColumn, 95);
  // The code is for the documentation and the JSON: the level's tooltip names it.
  table_->setColumnHidden(IndicatorsModel::CodeColumn, true);
  fitMessageColumn(table_, IndicatorsModel::MessageColumn, IndicatorsModel::LineColumn, 2);
  detail_ = new RecordPanel(split);
  detail_->setObjectName("detalheIndicio");
  detail_->setCompact(true);
  detail_->setNavigation(false, false);
  detail_->findChild<QPushButton*>("achadoAnterior")->setText(QString::fromUtf8("Indício anterior"));
  detail_->findChild<QPushButton*>("proximoAchado")->setText(QString::fromUtf8("Próximo indício"));
  split->addWidget(table_);
  split->addWidget(detail_);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 2);
  split->setSizes({600, 400});
  layout->addWidget(split, 1);

  connect(level_, &QComboBox::currentIndexChanged, this, [this] { filter_->setLevel(level_->currentData().toInt()); });
  openRowsOf(table_, [this](int row) { emit indicatorActivated(row); });
  connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { showSelected(); });
  connect(detail_, &RecordPanel::previousFinding, this, [this] { step(-1); });
  connect(detail_, &RecordPanel::nextFinding, this, [this] { step(1); });
  // A filter that leaves fewer rows moves no current row: the way on is checked again.
  followRowCount(filter_, this, [this] { showSelected(); });
  showSelected();
}

void IndicatorsPanel::setIndicators(const std::vector<Indicator>* indicators, const std::string& path) {
  indicators_ = indicators;
  path_ = path;
  model_->setIndicators(indicators);
  if (filter_->rowCount() > 0)
    table_->selectionModel()->setCurrentIndex(filter_->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  showSelected();
}

void IndicatorsPanel::showSelected() {
  const QModelIndex current = table_->currentIndex();
  if (indicators_ == nullptr || !current.isValid()) {
    detail_->showNoRecord(QString::fromUtf8("Selecione um indício para ver o seu registro aqui."), nullptr);
    detail_->setNavigation(false, false);
    return;
  }
  const Indicator& i = model_->indicator(filter_->mapToSource(current).row());
  if (i.line > 0 && !path_.empty())
    detail_->showLine(path_, i.line, indicatorField(i), fromCp1252(i.sentence), !isAlert(i));
  else
    detail_->showNoRecord(QString::fromUtf8("Este indício é do arquivo inteiro: não aponta um registro."), fromCp1252(i.sentence));
  detail_->setNavigation(current.row() > 0, current.row() + 1 < filter_->rowCount());
}

void IndicatorsPanel::step(int by) {
  const int row = table_->currentIndex().row() + by;
  if (row >= 0 && row < filter_->rowCount()) table_->setCurrentIndex(filter_->index(row, 0));
}

QString IndicatorsPanel::tabTitle() const {
  const auto alerts = indicators_ == nullptr ? 0 : std::count_if(indicators_->begin(), indicators_->end(), isAlert);
  return alerts == 0 ? QString::fromUtf8("Indícios") : QString::fromUtf8("Indícios (%1)").arg(alerts);
}

}  // namespace tavex::app
