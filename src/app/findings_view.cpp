#include "app/findings_view.h"

#include <QApplication>
#include <QBrush>
#include <QClipboard>
#include <QColor>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>
#include <optional>
#include <set>

#include "app/origin_bar.h"
#include "app/qt_text.h"
#include "app/reconciliation_view.h"
#include "app/record_view.h"
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

namespace {

QString utf8(const char* text) { return QString::fromUtf8(text); }

// declared - computed without overflow, when the finding compares two amounts.
std::optional<std::int64_t> differenceOf(const FindingPlace& p) {
  if (!p.declared || !p.computed) return std::nullopt;
  const __int128 d = static_cast<__int128>(*p.declared) - *p.computed;
  constexpr auto kMax = std::numeric_limits<std::int64_t>::max(), kMin = std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(d > kMax ? kMax : d < kMin ? kMin : d);
}

QVariant amount(const std::optional<std::int64_t>& cents) { return cents ? QVariant(money(*cents)) : QVariant(); }

QVariant positive(int n) { return n > 0 ? QVariant(n) : QVariant(); }

bool isFormatFinding(const Finding& f) { return findingFamilyOf(f.code) == FindingFamily::Format; }

}  // namespace

QVariant FindingsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || findings_ == nullptr) return {};
  const Finding& f = finding(index.row());
  const bool error = f.severity == Severity::Error;
  const int column = index.column();
  if (role == Qt::DisplayRole) {
    switch (column) {
      case SeverityColumn: return QString::fromUtf8(error ? "Erro" : "Aviso");
      case LineColumn: return positive(f.place.line);
      case RecordColumn: return recordTag(f.place.recordType);
      case FieldColumn: return positive(f.place.field);
      case CrzColumn: return positive(f.place.crz);
      case CooColumn: return positive(f.place.coo);
      case DeclaredColumn: return amount(f.place.declared);
      case ComputedColumn: return amount(f.place.computed);
      case DifferenceColumn: return amount(differenceOf(f.place));
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
      case CrzColumn: return f.place.crz;
      case CooColumn: return f.place.coo;
      case DeclaredColumn: return static_cast<qlonglong>(f.place.declared.value_or(std::numeric_limits<std::int64_t>::min()));
      case ComputedColumn: return static_cast<qlonglong>(f.place.computed.value_or(std::numeric_limits<std::int64_t>::min()));
      case DifferenceColumn: return static_cast<qlonglong>(differenceOf(f.place).value_or(std::numeric_limits<std::int64_t>::min()));
      case MessageColumn: return fromCp1252(f.message);
      default: return {};
    }
  }
  if (role == Qt::ToolTipRole && column == MessageColumn) return fromCp1252(f.message);  // wider than its column
  if (role == Qt::DecorationRole && column == SeverityColumn)
    return QApplication::style()->standardIcon(error ? QStyle::SP_MessageBoxCritical : QStyle::SP_MessageBoxWarning);
  if (role == Qt::ForegroundRole && (column == SeverityColumn || column == MessageColumn))
    return QBrush(error ? kErrorColour : kWarningColour);
  if (role == Qt::TextAlignmentRole && column != SeverityColumn && column != RecordColumn && column != MessageColumn)
    return QVariant(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

QVariant FindingsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
  static const char* const names[] = {"Severidade", "Linha", "Registro", "Campo", "CRZ", "COO", "Declarado (R$)",
                                      "Calculado (R$)", "Diferença (R$)", "Mensagem"};
  return section >= 0 && section < ColumnCount ? QString::fromUtf8(names[section]) : QVariant();
}

FindingsFilter::FindingsFilter(QObject* parent) : QSortFilterProxyModel(parent) {}

void FindingsFilter::setSeverity(int severity) {
  query_.severity = severity;
  invalidateFilter();
}

void FindingsFilter::setRecordType(int type) {
  query_.recordType = type;
  invalidateFilter();
}

void FindingsFilter::setCode(const QString& code) {
  code_ = code;
  query_.code = code.toStdString();
  invalidateFilter();
}

void FindingsFilter::setSearch(const QString& text) {
  query_.search = toCp1252(text);
  invalidateFilter();
}

void FindingsFilter::setCauseFirst(bool causeFirst) {
  causeFirst_ = causeFirst;
  invalidate();
}

bool FindingsFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
  const auto* source = static_cast<const FindingsModel*>(sourceModel());
  return query_.accepts(source->finding(sourceRow));
}

namespace {

// The sort key of a numeric column, read from the finding itself: a hundred
// thousand findings sort without a QVariant made for every comparison.
std::optional<std::int64_t> numericKey(const Finding& f, int column) {
  constexpr std::int64_t kNone = std::numeric_limits<std::int64_t>::min();
  switch (column) {
    case FindingsModel::SeverityColumn: return f.severity == Severity::Error ? 0 : 1;
    case FindingsModel::LineColumn: return f.place.line;
    case FindingsModel::RecordColumn: return f.place.recordType;
    case FindingsModel::FieldColumn: return f.place.field;
    case FindingsModel::CrzColumn: return f.place.crz;
    case FindingsModel::CooColumn: return f.place.coo;
    case FindingsModel::DeclaredColumn: return f.place.declared.value_or(kNone);
    case FindingsModel::ComputedColumn: return f.place.computed.value_or(kNone);
    case FindingsModel::DifferenceColumn: return differenceOf(f.place).value_or(kNone);
    default: return std::nullopt;
  }
}

}  // namespace

bool FindingsFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  const auto* source = static_cast<const FindingsModel*>(sourceModel());
  const Finding& l = source->finding(left.row());
  const Finding& r = source->finding(right.row());
  if (causeFirst_) {
    const bool lc = isFormatFinding(l), rc = isFormatFinding(r);
    // The causes lead whichever way the column is sorted.
    if (lc != rc) return sortOrder() == Qt::AscendingOrder ? lc : rc;
  }
  if (const auto lk = numericKey(l, left.column()), rk = numericKey(r, right.column()); lk && rk) return *lk < *rk;
  return QSortFilterProxyModel::lessThan(left, right);
}

QString rowsAsText(const QAbstractItemModel* rows, const std::vector<int>& rowNumbers, bool header, bool csv) {
  const int columns = rows->columnCount();
  const auto cell = [csv](QString text) {
    if (!csv || !text.contains(QRegularExpression("[;\"\r\n]"))) return text;
    return "\"" + text.replace("\"", "\"\"") + "\"";
  };
  QString out;
  const auto line = [&](auto textOf) {
    for (int column = 0; column < columns; ++column) {
      if (column > 0) out += csv ? ';' : '\t';
      out += cell(textOf(column));
    }
    out += '\n';
  };
  if (header) line([&](int column) { return rows->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(); });
  for (const int row : rowNumbers) line([&](int column) { return rows->index(row, column).data().toString(); });
  return out;
}

FindingsPanel::FindingsPanel(QWidget* parent)
    : QWidget(parent), origin_(new OriginBar(this)), model_(new FindingsModel(this)), filter_(new FindingsFilter(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(origin_);

  // The cause before its consequences: shown when a format error switched the content checks off.
  banner_ = new QFrame(this);
  banner_->setObjectName("avisoCausa");
  banner_->setStyleSheet("QFrame#avisoCausa { background: #fde8e6; border: 1px solid #b00020; }");
  auto* bannerLayout = new QHBoxLayout(banner_);
  bannerLayout->setContentsMargins(6, 3, 6, 3);
  bannerText_ = new QLabel(banner_);
  bannerText_->setObjectName("avisoCausaTexto");
  bannerText_->setWordWrap(true);
  bannerText_->setStyleSheet("color: #b00020; font-weight: bold;");
  causeFirst_ = new QPushButton(utf8("Mostrar a causa primeiro"), banner_);
  causeFirst_->setObjectName("mostrarCausaPrimeiro");
  causeFirst_->setCheckable(true);
  causeFirst_->setToolTip(utf8("Os erros de formato de campo antes dos demais achados"));
  bannerLayout->addWidget(bannerText_, 1);
  bannerLayout->addWidget(causeFirst_);
  banner_->hide();
  layout->addWidget(banner_);

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
  search_->setToolTip(QString::fromUtf8("Buscar nas mensagens (Ctrl+F); Enter vai ao primeiro achado, Esc limpa"));
  search_->setClearButtonEnabled(true);
  code_ = new QPushButton(this);
  code_->setObjectName("filtroCodigo");
  code_->setToolTip(utf8("Mostrar de novo todos os códigos"));
  code_->hide();
  bar->addWidget(new QLabel(QString::fromUtf8("Mostrar:"), this));
  bar->addWidget(severity_);
  bar->addWidget(record_);
  bar->addWidget(code_);
  bar->addWidget(search_, 1);
  saveLog_ = new QPushButton(QString::fromUtf8("Salvar log como…"), this);
  saveLog_->setObjectName("salvarLog");
  saveLog_->setToolTip(utf8("Salvar uma cópia do log da validação (Ctrl+S)"));
  print_ = new QPushButton(QString::fromUtf8("Imprimir"), this);
  print_->setObjectName("imprimirAchados");
  print_->setToolTip(utf8("Imprimir os achados mostrados (Ctrl+P)"));
  report_ = new QPushButton(QString::fromUtf8("Gerar relatório…"), this);
  report_->setObjectName("gerarRelatorio");
  report_->setToolTip(utf8("Gravar e abrir o relatório de auditoria do arquivo validado (Ctrl+R)"));
  bar->addWidget(saveLog_);
  bar->addWidget(print_);
  bar->addWidget(report_);
  setLogActions(false);
  connect(saveLog_, &QPushButton::clicked, this, &FindingsPanel::saveLogRequested);
  connect(print_, &QPushButton::clicked, this, &FindingsPanel::printRequested);
  connect(report_, &QPushButton::clicked, this, &FindingsPanel::reportRequested);

  // The list and the record of its current row, side by side.
  splitter_ = new QSplitter(Qt::Horizontal, this);
  splitter_->setObjectName("divisaoAchados");
  splitter_->setChildrenCollapsible(false);
  filter_->setSourceModel(model_);
  table_ = new QTableView(splitter_);
  table_->setObjectName("tabelaAchados");
  setUpResultTable(table_, filter_, FindingsModel::LineColumn);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);  // Ctrl+C copies whole rows
  table_->setContextMenuPolicy(Qt::CustomContextMenu);
  table_->setColumnWidth(FindingsModel::SeverityColumn, 82);
  table_->setColumnWidth(FindingsModel::LineColumn, 58);
  table_->setColumnWidth(FindingsModel::RecordColumn, 62);
  table_->setColumnWidth(FindingsModel::FieldColumn, 52);
  table_->setColumnWidth(FindingsModel::CrzColumn, 44);
  table_->setColumnWidth(FindingsModel::CooColumn, 54);
  table_->setColumnWidth(FindingsModel::DeclaredColumn, 102);
  table_->setColumnWidth(FindingsModel::ComputedColumn, 102);
  table_->setColumnWidth(FindingsModel::DifferenceColumn, 102);
  table_->horizontalHeader()->setMinimumSectionSize(40);
  fitMessageColumn(table_, FindingsModel::MessageColumn, FindingsModel::FieldColumn, 1);
  detail_ = new RecordPanel(splitter_);
  detail_->setObjectName("detalheAchado");
  detail_->setCompact(true);
  detail_->showNoRecord(utf8("Selecione um achado para ver o seu registro aqui (duplo clique: aba \"Registro\")."), nullptr);
  splitter_->addWidget(table_);
  splitter_->addWidget(detail_);
  splitter_->setStretchFactor(0, 1);
  splitter_->setStretchFactor(1, 1);
  splitter_->setSizes({550, 450});
  layout->addWidget(splitter_, 1);

  connect(severity_, &QComboBox::currentIndexChanged, this,
          [this] { filter_->setSeverity(severity_->currentData().toInt()); });
  connect(record_, &QComboBox::currentIndexChanged, this,
          [this] { filter_->setRecordType(record_->currentData().toInt()); });
  connect(search_, &QLineEdit::textChanged, filter_, &FindingsFilter::setSearch);
  connect(code_, &QPushButton::clicked, this, [this] {
    filter_->setCode(QString());
    code_->hide();
  });
  connect(causeFirst_, &QPushButton::toggled, this, &FindingsPanel::showCauseFirst);
  openRowsOf(table_, [this](int row) { emit findingActivated(row); });
  connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { showSelected(); });
  connect(table_, &QTableView::customContextMenuRequested, this,
          [this](const QPoint& at) { rowMenu()->popup(table_->viewport()->mapToGlobal(at)); });
  connect(detail_, &RecordPanel::previousFinding, this, [this] { moveSelection(-1); });
  connect(detail_, &RecordPanel::nextFinding, this, [this] { moveSelection(1); });
  search_->installEventFilter(this);
  table_->installEventFilter(this);
  // A filter that leaves fewer rows moves no current row: the way on is checked again.
  followRowCount(filter_, this, [this] {
    const QModelIndex current = table_->currentIndex();
    if (current.isValid()) detail_->setNavigation(current.row() > 0, current.row() + 1 < filter_->rowCount());
  });
}

bool FindingsPanel::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  const auto* keyEvent = static_cast<QKeyEvent*>(event);
  const int key = keyEvent->key();
  const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
  if (watched == table_ && keyEvent->matches(QKeySequence::Copy)) {
    copyRows(false, false);
    return true;
  }
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

void FindingsPanel::setFindings(const std::vector<Finding>* findings, const std::string& path) {
  findings_ = findings;
  path_ = path;
  model_->setFindings(findings);
  // The record filter offers the types that have findings; the reduction, document
  // and amount columns show when some finding has them.
  std::set<int> types;
  bool crz = false, coo = false, amounts = false;
  if (findings != nullptr)
    for (const Finding& f : *findings) {
      types.insert(f.place.recordType);
      crz = crz || f.place.crz > 0;
      coo = coo || f.place.coo > 0;
      amounts = amounts || f.place.declared || f.place.computed;
    }
  table_->setColumnHidden(FindingsModel::CrzColumn, !crz);
  table_->setColumnHidden(FindingsModel::CooColumn, !coo);
  for (const int column : {FindingsModel::DeclaredColumn, FindingsModel::ComputedColumn, FindingsModel::DifferenceColumn})
    table_->setColumnHidden(column, !amounts);
  const QSignalBlocker block(record_);
  record_->clear();
  record_->addItem(QString::fromUtf8("Todos os registros"), 0);
  for (int type : types)
    if (!recordTag(type).isEmpty()) record_->addItem(recordTag(type), type);
  filter_->setRecordType(0);
  filter_->setCode(QString());
  code_->hide();
  // The first finding's record beside the list at once.
  if (filter_->rowCount() > 0)
    table_->selectionModel()->setCurrentIndex(filter_->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  table_->horizontalScrollBar()->setValue(0);
  showSelected();
}

QString FindingsPanel::tabTitle() const {
  if (findings_ == nullptr || (findings_->empty() && path_.empty())) return QString::fromUtf8("Achados");
  int errors = 0;
  for (const Finding& f : *findings_) errors += f.severity == Severity::Error ? 1 : 0;
  const int warnings = static_cast<int>(findings_->size()) - errors;
  return QString::fromUtf8("Achados (%1, %2)").arg(plural(errors, "erro", "erros"), plural(warnings, "aviso", "avisos"));
}

void FindingsPanel::setCauseNotice(const QString& text) {
  bannerText_->setText(text);
  banner_->setVisible(!text.isEmpty());
  if (text.isEmpty()) causeFirst_->setChecked(false);
}

void FindingsPanel::showCauseFirst(bool causeFirst) {
  if (causeFirst_->isChecked() != causeFirst) causeFirst_->setChecked(causeFirst);  // comes back here
  if (filter_->causeFirst() == causeFirst) return;
  filter_->setCauseFirst(causeFirst);
  if (!causeFirst) return;
  table_->sortByColumn(FindingsModel::LineColumn, Qt::AscendingOrder);
  if (filter_->rowCount() > 0) {
    table_->setCurrentIndex(filter_->index(0, 0));
    table_->scrollToTop();
  }
}

void FindingsPanel::showSelected() {
  const QModelIndex current = table_->currentIndex();
  if (findings_ == nullptr || !current.isValid()) {
    detail_->showNoRecord(utf8("Selecione um achado para ver o seu registro aqui (duplo clique: aba \"Registro\")."),
                          nullptr);
    detail_->setNavigation(false, false);
    emit findingSelected(-1);
    return;
  }
  const int index = filter_->mapToSource(current).row();
  const Finding& f = model_->finding(index);
  if (f.place.line > 0 && !path_.empty())
    detail_->showLine(path_, f.place.line, &f);
  else
    detail_->showNoRecord(utf8("Este achado é do arquivo inteiro: não aponta um registro."), &f);
  detail_->setNavigation(current.row() > 0, current.row() + 1 < filter_->rowCount());
  emit findingSelected(index);
}

void FindingsPanel::moveSelection(int step) {
  const int row = table_->currentIndex().isValid() ? table_->currentIndex().row() + step : 0;
  if (row < 0 || row >= filter_->rowCount()) return;
  table_->setCurrentIndex(filter_->index(row, 0));
  table_->scrollTo(filter_->index(row, 0));
}

std::vector<int> FindingsPanel::selectedRows() const {
  std::vector<int> rows;
  for (const QModelIndex& index : table_->selectionModel()->selectedRows()) rows.push_back(index.row());
  if (rows.empty() && table_->currentIndex().isValid()) rows.push_back(table_->currentIndex().row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

void FindingsPanel::copyRows(bool all, bool csv) {
  std::vector<int> rows;
  if (all) {
    rows.resize(static_cast<std::size_t>(filter_->rowCount()));
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<int>(i);
  } else {
    rows = selectedRows();
  }
  if (rows.empty()) return;
  QApplication::clipboard()->setText(rowsAsText(filter_, rows, all, csv));
}

QMenu* FindingsPanel::rowMenu() {
  if (menu_ == nullptr) menu_ = new QMenu(this);
  menu_->clear();
  menu_->setObjectName("menuAchados");
  const QModelIndex current = table_->currentIndex();
  const bool any = current.isValid();
  QAction* copy = menu_->addAction(utf8("Copiar linha"), this, [this] { copyRows(false, false); });
  copy->setShortcut(QKeySequence::Copy);
  copy->setObjectName("copiarLinha");
  copy->setEnabled(any);
  menu_->addAction(utf8("Copiar tudo como texto"), this, [this] { copyRows(true, false); })->setObjectName("copiarTexto");
  menu_->addAction(utf8("Copiar tudo como CSV"), this, [this] { copyRows(true, true); })->setObjectName("copiarCsv");
  menu_->addSeparator();
  QAction* open = menu_->addAction(utf8("Ir para o registro"), this, [this] {
    if (table_->currentIndex().isValid()) emit findingActivated(filter_->mapToSource(table_->currentIndex()).row());
  });
  open->setObjectName("irParaRegistro");
  open->setEnabled(any);
  QString code;
  if (any) {
    const std::string_view c = model_->finding(filter_->mapToSource(current).row()).code;
    code = QString::fromLatin1(c.data(), static_cast<qsizetype>(c.size()));
  }
  QAction* byCode = menu_->addAction(any ? utf8("Filtrar por este código (%1)").arg(code) : utf8("Filtrar por este código"),
                                     this, [this, code] {
                                       filter_->setCode(code);
                                       code_->setText(utf8("Código: %1 ✕").arg(code));
                                       code_->show();
                                     });
  byCode->setObjectName("filtrarCodigo");
  byCode->setEnabled(any);
  return menu_;
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
