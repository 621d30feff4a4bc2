#include "app/efd_view.h"

#include <QApplication>
#include <QBrush>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/qt_text.h"
#include "app/record_view.h"
#include "app/result_table.h"
#include "cotepe/br_format.h"
#include "validation/tolerance.h"

namespace tavex::app {

namespace {

QString utf8(const char* text) { return QString::fromUtf8(text); }

QString fileName(const std::string& path) { return QFileInfo(fromPath(path)).fileName(); }

QString dateText(const std::string& date) { return fromCp1252(brazilianDate(date).value_or(date)); }

// A compared value as the auditor reads it: dates DD/MM/AAAA, amounts in R$.
QString valueText(EfdCheck check, const std::string& value) {
  if (value.empty()) return {};
  if (check == EfdCheck::Data || check == EfdCheck::CupomData) return dateText(value);
  if (const std::size_t dot = value.find('.'); dot != std::string::npos && value.size() - dot == 3) {
    const bool negative = value.front() == '-';
    const std::string digits = value.substr(negative ? 1 : 0, dot - (negative ? 1 : 0)) + value.substr(dot + 1);
    if (!digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos && digits.size() < 18) {
      const std::int64_t cents = std::stoll(digits);
      return "R$ " + fromCp1252(brazilianMoney(negative ? -cents : cents));
    }
  }
  return fromCp1252(value);
}

QVariant counter(const std::optional<std::int64_t>& value) {
  return value ? QVariant(static_cast<qlonglong>(*value)) : QVariant();
}

}  // namespace

void EfdRowsModel::setReview(const EfdReview* review) {
  beginResetModel();
  review_ = review;
  endResetModel();
}

int EfdRowsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || review_ == nullptr ? 0 : static_cast<int>(review_->rows.size());
}

int EfdRowsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant EfdRowsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || review_ == nullptr) return {};
  const EfdRow& row = review_->rows[static_cast<std::size_t>(index.row())];
  const EfdDivergence& d = review_->divergence(row);
  const bool alert = d.level == IndicatorLevel::Alerta;
  const int column = index.column();
  if (role == Qt::DisplayRole) {
    switch (column) {
      case LevelColumn: return utf8(alert ? "Alerta" : "Informação");
      case CodeColumn: return fromCp1252(efdCheckCode(d.check));
      case SerialColumn: return fromCp1252(review_->ecf(row).serial);
      case CrzColumn: return counter(d.crz);
      case CooColumn: return counter(d.coo);
      case DateColumn: return d.date.empty() ? QVariant() : QVariant(dateText(d.date));
      case DeclaredColumn: return valueText(d.check, d.declared);
      case RecordedColumn: return valueText(d.check, d.recorded);
      case EfdLineColumn: return d.efdLine > 0 ? QVariant(d.efdLine) : QVariant();
      case MessageColumn: return fromCp1252(d.sentence);
      default: return {};
    }
  }
  if (role == Qt::UserRole) {  // sort keys
    switch (column) {
      case LevelColumn: return (alert ? 0LL : 1LL << 32) + index.row();
      case CrzColumn: return static_cast<qlonglong>(d.crz.value_or(-1));
      case CooColumn: return static_cast<qlonglong>(d.coo.value_or(-1));
      case DateColumn: return QString::fromStdString(d.date);
      case EfdLineColumn: return d.efdLine;
      default: return data(index, Qt::DisplayRole);
    }
  }
  if (role == Qt::ToolTipRole && column == MessageColumn) return fromCp1252(d.sentence);
  if (role == Qt::DecorationRole && column == LevelColumn)
    return QApplication::style()->standardIcon(alert ? QStyle::SP_MessageBoxWarning : QStyle::SP_MessageBoxInformation);
  if (role == Qt::ForegroundRole && alert && (column == LevelColumn || column == MessageColumn)) return QBrush(kErrorColour);
  if (role == Qt::TextAlignmentRole && (column == CrzColumn || column == CooColumn || column == EfdLineColumn ||
                                        column == DeclaredColumn || column == RecordedColumn))
    return QVariant(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

QVariant EfdRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
  static const char* const names[] = {"Nível", "Código", "ECF", "CRZ", "COO", "Data", "Declarado (EFD)",
                                      "Registrado (ECF)", "Linha EFD", "Mensagem"};
  return section >= 0 && section < ColumnCount ? utf8(names[section]) : QVariant();
}

void EfdRowsFilter::setLevel(int level) {
  query_.level = level;
  invalidateFilter();
}

void EfdRowsFilter::setSearch(const QString& text) {
  query_.search = toCp1252(text);
  invalidateFilter();
}

bool EfdRowsFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
  const EfdReview* review = static_cast<const EfdRowsModel*>(sourceModel())->review();
  return review != nullptr && query_.accepts(*review, static_cast<std::size_t>(sourceRow));
}

EfdPanel::EfdPanel(QWidget* parent)
    : QWidget(parent), model_(new EfdRowsModel(this)), filter_(new EfdRowsFilter(this)) {
  auto* layout = new QVBoxLayout(this);
  origin_ = new QLabel(this);
  origin_->setObjectName("origemEfd");
  origin_->setWordWrap(true);
  layout->addWidget(origin_);
  problems_ = new QLabel(this);
  problems_->setObjectName("problemasEfd");
  problems_->setWordWrap(true);
  problems_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  problems_->setStyleSheet("color: #b36b00;");
  layout->addWidget(problems_);

  auto* split = new QSplitter(Qt::Vertical, this);
  split->setObjectName("divisaoEfd");
  split->setChildrenCollapsible(false);
  // The month summary of each ECF, above the list.
  summary_ = new QTableWidget(0, 8, split);
  summary_->setObjectName("resumoEfd");
  summary_->setHorizontalHeaderLabels({utf8("EFD"), utf8("ECF"), utf8("Mês"), utf8("Reduções Z EFD/ECF"),
                                       utf8("Venda bruta EFD"), utf8("Venda bruta ECF"), utf8("Diferença"),
                                       utf8("Cupons EFD/ECF")});
  summary_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  summary_->setSelectionBehavior(QAbstractItemView::SelectRows);
  summary_->setTabKeyNavigation(false);
  summary_->verticalHeader()->hide();
  summary_->horizontalHeader()->setStretchLastSection(true);

  auto* lower = new QWidget(split);
  auto* lowerLayout = new QVBoxLayout(lower);
  lowerLayout->setContentsMargins(0, 0, 0, 0);
  auto* bar = new QHBoxLayout;
  lowerLayout->addLayout(bar);
  level_ = new QComboBox(lower);
  level_->setObjectName("filtroNivelEfd");
  level_->addItem(utf8("Todas as divergências"), -1);
  level_->addItem(utf8("Só alertas"), 0);
  level_->addItem(utf8("Só informações"), 1);
  search_ = new QLineEdit(lower);
  search_->setObjectName("buscaEfd");
  search_->setPlaceholderText(utf8("Buscar na mensagem, no código, na ECF ou na linha da EFD"));
  search_->setClearButtonEnabled(true);
  search_->installEventFilter(this);
  bar->addWidget(new QLabel(utf8("Mostrar:"), lower));
  bar->addWidget(level_);
  bar->addWidget(search_, 1);

  filter_->setSourceModel(model_);
  // The list and, beside it, the EFD line and the ECF record of its current row.
  auto* sides = new QSplitter(Qt::Horizontal, lower);
  sides->setChildrenCollapsible(false);
  table_ = new QTableView(sides);
  table_->setObjectName("tabelaEfd");
  setUpResultTable(table_, filter_, EfdRowsModel::LevelColumn);
  table_->setColumnWidth(EfdRowsModel::LevelColumn, 110);
  table_->setColumnWidth(EfdRowsModel::SerialColumn, 150);
  auto* side = new QSplitter(Qt::Vertical, sides);
  side->setChildrenCollapsible(false);
  efdLine_ = new QPlainTextEdit(side);
  efdLine_->setObjectName("linhaEfd");
  efdLine_->setReadOnly(true);
  efdLine_->setTabChangesFocus(true);
  detail_ = new RecordPanel(side);
  detail_->setObjectName("detalheEfd");
  detail_->setCompact(true);
  detail_->setNavigation(false, false);
  for (const char* name : {"achadoAnterior", "proximoAchado"})
    if (auto* button = detail_->findChild<QPushButton*>(name)) button->hide();
  side->setSizes({160, 300});
  sides->addWidget(table_);
  sides->addWidget(side);
  sides->setSizes({600, 400});
  lowerLayout->addWidget(sides, 1);
  split->addWidget(summary_);
  split->addWidget(lower);
  split->setSizes({120, 500});
  layout->addWidget(split, 1);

  connect(level_, &QComboBox::currentIndexChanged, this, [this] { filter_->setLevel(level_->currentData().toInt()); });
  connect(search_, &QLineEdit::textChanged, this, [this](const QString& text) { filter_->setSearch(text); });
  openRowsOf(table_, [this](int row) {
    if (review_ == nullptr) return;
    const EfdDivergence& d = review_->divergence(review_->rows[static_cast<std::size_t>(row)]);
    if (!d.ecfFile.empty() && d.ecfLine > 0) emit recordActivated(d.ecfFile, d.ecfLine);
  });
  connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { showSelected(); });
  setReview(nullptr);
}

void EfdPanel::setReview(const EfdReview* review) {
  review_ = review;
  model_->setReview(review);
  fillSummary();
  if (review == nullptr) {
    origin_->setText(utf8("Use \"Confrontar com EFD…\" (grupo Ato COTEPE 17/04) para pôr a ECF ao lado da EFD ICMS/IPI "
                          "que o contribuinte entregou."));
    problems_->hide();
  } else {
    QStringList efd, ecf;
    for (const auto& file : review->efdFiles) efd << fileName(file->path);
    for (const std::string& file : review->cotepeFiles) ecf << fileName(file);
    origin_->setText(utf8("EFD: %1. Arquivos da ECF: %2. Tolerância: R$ %3. %4 alerta(s), %5 informação(ões).")
                         .arg(efd.join(", "), ecf.join(", "), QString::fromStdString(toleranceText(review->toleranceCents)))
                         .arg(review->alerts())
                         .arg(review->informations()));
    QStringList lines;  // the first ones: a broken EFD may have a problem on every line
    for (std::size_t i = 0; i < review->problems.size() && i < 20; ++i) lines << fromCp1252(review->problems[i]);
    if (review->problems.size() > 20) lines << utf8("(e mais %1)").arg(review->problems.size() - 20);
    problems_->setText(lines.join('\n'));
    problems_->setVisible(!lines.isEmpty());
  }
  // The ECF column only when the rows speak of more than one; the short columns as wide as their values.
  bool severalEcfs = false;
  if (review != nullptr)
    for (const EfdRow& row : review->rows)
      severalEcfs = severalEcfs || review->ecf(row).serial != review->ecf(review->rows.front()).serial;
  table_->setColumnHidden(EfdRowsModel::SerialColumn, !severalEcfs);
  for (int column = EfdRowsModel::CodeColumn; column < EfdRowsModel::MessageColumn; ++column)
    if (column != EfdRowsModel::SerialColumn) table_->resizeColumnToContents(column);
  if (filter_->rowCount() > 0)
    table_->selectionModel()->setCurrentIndex(filter_->index(0, 0),
                                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  showSelected();
}

void EfdPanel::fillSummary() {
  summary_->setRowCount(0);
  if (review_ == nullptr) return;
  for (const EfdComparison& c : review_->comparisons)
    for (const EfdEcfComparison& e : c.ecfs)
      for (const EfdMonthSummary& m : e.months) {
        const int row = summary_->rowCount();
        summary_->insertRow(row);
        const QString cells[] = {
            fileName(c.efd->path),
            fromCp1252(e.serial),
            QString::fromStdString(m.month.substr(4, 2) + "/" + m.month.substr(0, 4)),
            QString("%1/%2").arg(m.reductionsDeclared).arg(m.reductionsRecorded),
            "R$ " + fromCp1252(brazilianMoney(m.grossDeclared)),
            "R$ " + fromCp1252(brazilianMoney(m.grossRecorded)),
            "R$ " + fromCp1252(brazilianMoney(m.grossDeclared - m.grossRecorded)),
            QString("%1/%2").arg(m.couponsDeclared).arg(m.couponsRecorded)};
        const bool differs = m.reductionsDeclared != m.reductionsRecorded || m.grossDeclared != m.grossRecorded ||
                             m.couponsDeclared != m.couponsRecorded;
        for (int column = 0; column < 8; ++column) {
          auto* item = new QTableWidgetItem(cells[column]);
          if (column >= 3) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
          if (differs && column >= 3) item->setForeground(QBrush(kErrorColour));
          summary_->setItem(row, column, item);
        }
      }
  summary_->resizeColumnsToContents();
}

void EfdPanel::showSelected() {
  const QModelIndex current = table_->currentIndex();
  if (review_ == nullptr || !current.isValid()) {
    efdLine_->clear();
    detail_->showNoRecord(utf8("Selecione uma divergência para ver aqui a linha da EFD e o registro da ECF."), nullptr);
    return;
  }
  const std::size_t row = static_cast<std::size_t>(filter_->mapToSource(current).row());
  const EfdRow& at = review_->rows[row];
  const EfdDivergence& d = review_->divergence(at);
  QString text = fromCp1252(d.sentence) + ".\n\n";
  if (d.efdLine > 0)
    text += utf8("EFD %1, linha %2:\n").arg(fileName(review_->comparison(at).efd->path)).arg(d.efdLine) +
            fromCp1252(review_->efdLineTexts[row]);
  else
    text += utf8("A EFD não tem linha para esta divergência.");
  efdLine_->setPlainText(text);
  if (!d.ecfFile.empty() && d.ecfLine > 0)
    detail_->showLine(d.ecfFile, d.ecfLine, nullptr);
  else
    detail_->showNoRecord(utf8("Esta divergência não aponta um registro dos arquivos da ECF."), nullptr);
}

QString EfdPanel::tabTitle() const {
  const std::size_t alerts = review_ == nullptr ? 0 : review_->alerts();
  return alerts == 0 ? utf8("EFD") : utf8("EFD (%1)").arg(alerts);
}

bool EfdPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == search_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Escape) {
      search_->clear();
      return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      if (filter_->rowCount() > 0) {
        table_->setCurrentIndex(filter_->index(0, 0));
        table_->setFocus();
      }
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tavex::app
