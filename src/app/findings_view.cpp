#include "app/findings_view.h"

#include <QApplication>
#include <QBrush>
#include <QColor>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>
#include <set>

#include "app/origin_bar.h"
#include "app/qt_text.h"
#include "app/result_table.h"
#include "cotepe/record_layout.h"

namespace tavex::app {

QString recordTag(int recordType) {
  const RecordLayout* layout = layoutOf(recordType);
  return layout == nullptr ? QString() : QString::fromLatin1(layout->tag.data(), static_cast<qsizetype>(layout->tag.size()));
}

void FindingsModel::setFindings(const std::vector<Finding>* findings) {
  beginResetModel();
  findings_ = findings;
  endResetModel();
}

int FindingsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || findings_ == nullptr ? 0 : static_cast<int>(findings_->size());
}

int FindingsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant FindingsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || findings_ == nullptr) return {};
  const Finding& f = finding(index.row());
  const bool error = f.severity == Severity::Error;
  const int column = index.column();
  if (role == Qt::DisplayRole) {
    switch (column) {
      case SeverityColumn: return QString::fromUtf8(error ? "Erro" : "Aviso");
      case LineColumn: return f.place.line > 0 ? QVariant(f.place.line) : QVariant();
      case RecordColumn: return recordTag(f.place.recordType);
      case FieldColumn: return f.place.field > 0 ? QVariant(f.place.field) : QVariant();
      case MessageColumn: return fromCp1252(f.message);
      default: return {};
    }
  }
  if (role == Qt::UserRole) {  // sort keys
    switch (column) {
      case SeverityColumn: return error ? 0 : 1;
      case LineColumn: return f.place.line;
      case RecordColumn: return f.place.recordType;
      case FieldColumn: return f.place.field;
      case MessageColumn: return fromCp1252(f.message);
      default: return {};
    }
  }
  if (role == Qt::DecorationRole && column == SeverityColumn)
    return QApplication::style()->standardIcon(error ? QStyle::SP_MessageBoxCritical : QStyle::SP_MessageBoxWarning);
  if (role == Qt::ForegroundRole && (column == SeverityColumn || column == MessageColumn))
    return QBrush(error ? kErrorColour : kWarningColour);
  if (role == Qt::TextAlignmentRole && (column == LineColumn || column == FieldColumn))
    return QVariant(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

QVariant FindingsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
  static const char* const names[] = {"Severidade", "Linha", "Registro", "Campo", "Mensagem"};
  return section >= 0 && section < ColumnCount ? QString::fromUtf8(names[section]) : QVariant();
}

FindingsFilter::FindingsFilter(QObject* parent) : QSortFilterProxyModel(parent) {}

void FindingsFilter::setSeverity(int severity) {
  severity_ = severity;
  invalidateFilter();
}

void FindingsFilter::setRecordType(int type) {
  recordType_ = type;
  invalidateFilter();
}

void FindingsFilter::setSearch(const QString& text) {
  search_ = text;
  invalidateFilter();
}

bool FindingsFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
  const auto* source = static_cast<const FindingsModel*>(sourceModel());
  const Finding& f = source->finding(sourceRow);
  if (severity_ == 0 && f.severity != Severity::Error) return false;
  if (severity_ == 1 && f.severity != Severity::Warning) return false;
  if (recordType_ != 0 && f.place.recordType != recordType_) return false;
  return search_.isEmpty() || fromCp1252(f.message).contains(search_, Qt::CaseInsensitive);
}

FindingsPanel::FindingsPanel(QWidget* parent)
    : QWidget(parent), origin_(new OriginBar(this)), model_(new FindingsModel(this)), filter_(new FindingsFilter(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(origin_);
  auto* bar = new QHBoxLayout;
  layout->addLayout(bar);
  severity_ = new QComboBox(this);
  severity_->setObjectName("filtroSeveridade");
  severity_->addItem(QString::fromUtf8("Erros e avisos"), -1);
  severity_->addItem(QString::fromUtf8("Só erros"), 0);
  severity_->addItem(QString::fromUtf8("Só avisos"), 1);
  record_ = new QComboBox(this);
  record_->setObjectName("filtroRegistro");
  search_ = new QLineEdit(this);
  search_->setObjectName("buscaAchados");
  search_->setPlaceholderText(QString::fromUtf8("Buscar nas mensagens (Ctrl+F)"));
  search_->setClearButtonEnabled(true);
  bar->addWidget(new QLabel(QString::fromUtf8("Mostrar:"), this));
  bar->addWidget(severity_);
  bar->addWidget(record_);
  bar->addWidget(search_, 1);
  saveLog_ = new QPushButton(QString::fromUtf8("Salvar log como…"), this);
  saveLog_->setObjectName("salvarLog");
  print_ = new QPushButton(QString::fromUtf8("Imprimir"), this);
  print_->setObjectName("imprimirAchados");
  report_ = new QPushButton(QString::fromUtf8("Gerar relatório…"), this);
  report_->setObjectName("gerarRelatorio");
  bar->addWidget(saveLog_);
  bar->addWidget(print_);
  bar->addWidget(report_);
  setLogActions(false);
  connect(saveLog_, &QPushButton::clicked, this, &FindingsPanel::saveLogRequested);
  connect(print_, &QPushButton::clicked, this, &FindingsPanel::printRequested);
  connect(report_, &QPushButton::clicked, this, &FindingsPanel::reportRequested);

  filter_->setSourceModel(model_);
  table_ = new QTableView(this);
  table_->setObjectName("tabelaAchados");
  setUpResultTable(table_, filter_, FindingsModel::LineColumn);
  table_->setColumnWidth(FindingsModel::SeverityColumn, 110);
  table_->setColumnWidth(FindingsModel::LineColumn, 80);
  table_->setColumnWidth(FindingsModel::RecordColumn, 70);
  table_->setColumnWidth(FindingsModel::FieldColumn, 60);
  layout->addWidget(table_, 1);

  connect(severity_, &QComboBox::currentIndexChanged, this,
          [this] { filter_->setSeverity(severity_->currentData().toInt()); });
  connect(record_, &QComboBox::currentIndexChanged, this,
          [this] { filter_->setRecordType(record_->currentData().toInt()); });
  connect(search_, &QLineEdit::textChanged, filter_, &FindingsFilter::setSearch);
  openRowsOf(table_, [this](int row) { emit findingActivated(row); });
  search_->installEventFilter(this);
}

bool FindingsPanel::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  const int key = static_cast<QKeyEvent*>(event)->key();
  const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
  if (watched == search_ && key == Qt::Key_Escape) {
    search_->clear();
    return true;
  }
  if (watched == search_ && enter) {
    if (filter_->rowCount() > 0) {
      table_->setCurrentIndex(filter_->index(0, 0));
      table_->setFocus();
    }
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void FindingsPanel::setFindings(const std::vector<Finding>* findings) {
  findings_ = findings;
  model_->setFindings(findings);
  // The record filter offers the types that have findings.
  std::set<int> types;
  if (findings != nullptr)
    for (const Finding& f : *findings) types.insert(f.place.recordType);
  const QSignalBlocker block(record_);
  record_->clear();
  record_->addItem(QString::fromUtf8("Todos os registros"), 0);
  for (int type : types)
    if (!recordTag(type).isEmpty()) record_->addItem(recordTag(type), type);
  filter_->setRecordType(0);
}

QString FindingsPanel::tabTitle() const {
  if (findings_ == nullptr || findings_->empty()) return QString::fromUtf8("Achados");
  int errors = 0;
  for (const Finding& f : *findings_) errors += f.severity == Severity::Error ? 1 : 0;
  const int warnings = static_cast<int>(findings_->size()) - errors;
  return QString::fromUtf8("Achados (%1, %2)").arg(plural(errors, "erro", "erros"), plural(warnings, "aviso", "avisos"));
}

void FindingsPanel::setLogActions(bool enabled) {
  saveLog_->setEnabled(enabled);
  print_->setEnabled(enabled);
  report_->setEnabled(enabled);
}

QString FindingsPanel::printableHtml() const { return printableTable(filter_); }

void FindingsPanel::focusSearch() {
  search_->setFocus();
  search_->selectAll();
}

}  // namespace tavex::app
