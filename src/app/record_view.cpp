#include "app/record_view.h"

#include <QColor>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>
#include <map>

#include "app/findings_view.h"
#include "app/origin_bar.h"
#include "app/qt_text.h"
#include "app/result_table.h"
#include "cotepe/field_meaning.h"
#include "cotepe/record_layout.h"

namespace tavex::app {

namespace {

constexpr int kAround = 3;                   // context lines on each side
constexpr std::size_t kShownContext = 300;  // characters of a context line shown

QString utf8(const char* text) { return QString::fromUtf8(text); }

const char* const kHint = "Dê um duplo clique num achado ou numa \"Linha N\" da saída para ver o registro.";

bool sameFile(const std::string& a, const std::string& b) {
  if (a == b) return true;
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec);
}

}  // namespace

const LineIndex* RecordPanel::indexOf(const std::string& path) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) return nullptr;
  const std::filesystem::file_time_type changed = std::filesystem::last_write_time(path, ec);
  if (ec) return nullptr;
  if (!indexed_ || indexed_->path != path || indexed_->size != size || indexed_->changed != changed) {
    indexed_.reset();
    std::optional<LineIndex> index = indexOfFile(path);
    if (!index) return nullptr;
    indexed_ = IndexedFile{path, size, changed, std::move(*index)};
  }
  return &indexed_->index;
}

QString visibleBlanks(const QString& value) {
  QString shown = value;
  shown.replace(QChar(' '), QChar(0x00B7));
  return shown;
}

RecordPanel::RecordPanel(QWidget* parent) : QWidget(parent), origin_(new OriginBar(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(origin_);
  auto* bar = new QHBoxLayout;
  layout->addLayout(bar);
  heading_ = new QLabel(utf8(kHint), this);
  heading_->setObjectName("registroTitulo");
  heading_->setTextFormat(Qt::PlainText);
  heading_->setWordWrap(true);  // beside the findings the panel may be narrow
  heading_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  previous_ = new QPushButton(utf8("Achado anterior"), this);
  previous_->setObjectName("achadoAnterior");
  previous_->setToolTip(utf8("O achado anterior (Shift+F8)"));
  next_ = new QPushButton(utf8("Próximo achado"), this);
  next_->setObjectName("proximoAchado");
  next_->setToolTip(utf8("O próximo achado (F8)"));
  previous_->setEnabled(false);
  next_->setEnabled(false);
  bar->addWidget(heading_, 1);
  bar->addWidget(previous_);
  bar->addWidget(next_);
  message_ = new QLabel(this);
  message_->setObjectName("registroMensagem");
  message_->setTextFormat(Qt::PlainText);
  message_->setWordWrap(true);
  message_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  layout->addWidget(message_);

  fields_ = new QTableWidget(0, 6, this);
  fields_->setObjectName("camposRegistro");
  fields_->setHorizontalHeaderLabels(
      {utf8("Campo"), utf8("Nome"), utf8("Início"), utf8("Tamanho"), utf8("Valor"), utf8("Interpretado")});
  fields_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fields_->setTabKeyNavigation(false);
  fields_->setSelectionBehavior(QAbstractItemView::SelectRows);
  fields_->verticalHeader()->hide();
  fields_->verticalHeader()->setDefaultSectionSize(fields_->fontMetrics().height() + 6);
  fields_->horizontalHeader()->setStretchLastSection(true);
  fields_->setColumnWidth(0, 55);
  fields_->setColumnWidth(1, 170);
  fields_->setColumnWidth(2, 55);
  fields_->setColumnWidth(3, 65);
  fields_->setColumnWidth(4, 190);
  QFont mono("Courier New");
  mono.setStyleHint(QFont::Monospace);
  context_ = new QPlainTextEdit(this);
  context_->setObjectName("contextoRegistro");
  context_->setReadOnly(true);
  context_->setTabChangesFocus(true);
  context_->setLineWrapMode(QPlainTextEdit::NoWrap);
  context_->setFont(mono);
  context_->setMaximumHeight(context_->fontMetrics().height() * (2 * kAround + 2) + 12);
  layout->addWidget(fields_, 1);
  layout->addWidget(context_);
  connect(previous_, &QPushButton::clicked, this, &RecordPanel::previousFinding);
  connect(next_, &QPushButton::clicked, this, &RecordPanel::nextFinding);
}

void RecordPanel::setCompact(bool compact) {
  fields_->setColumnHidden(2, compact);
  fields_->setColumnHidden(3, compact);
  fields_->setColumnWidth(0, compact ? 45 : 55);
  fields_->setColumnWidth(1, compact ? 125 : 170);
  fields_->setColumnWidth(4, compact ? 120 : 190);
  context_->setVisible(!compact);
}

void RecordPanel::setNavigation(bool previous, bool next) {
  previous_->setEnabled(previous);
  next_->setEnabled(next);
}

void RecordPanel::showNoRecord(const QString& heading, const Finding* finding) {
  showNoRecord(heading, finding != nullptr ? fromCp1252(finding->message) : QString());
}

void RecordPanel::showNoRecord(const QString& heading, const QString& message) {
  shownPath_.clear();
  fields_->setRowCount(0);
  context_->clear();
  highlightedRow_ = -1;
  heading_->setText(heading);
  message_->setText(message);
}

void RecordPanel::clear() {
  showNoRecord(utf8(kHint), nullptr);
  setNavigation(false, false);
}

void RecordPanel::showLine(const std::string& path, int line, const Finding* finding) {
  if (finding == nullptr) return showLine(path, line, 0, QString(), false);
  showLine(path, line, finding->place.field, fromCp1252(finding->message), finding->severity == Severity::Warning);
}

void RecordPanel::showLine(const std::string& path, int line, int field, const QString& message, bool warning) {
  shownPath_ = path;
  fields_->setRowCount(0);
  context_->clear();
  highlightedRow_ = -1;
  message_->setText(message);
  if (line < 1) {
    heading_->setText(utf8("Este achado é do arquivo inteiro: não aponta um registro."));
    return;
  }
  // A line of a file rewritten since its validation is another record than the
  // one the finding speaks of: it is not decoded as if it were.
  if (validated_ != nullptr && sameFile(path, validated_->path()) && !validated_->unchanged()) {
    heading_->setText(utf8("O arquivo %1 mudou depois da validação (tamanho, data ou conteúdo): a linha %2 como foi "
                           "validada não existe mais. Valide o arquivo de novo para ver o registro atual.")
                          .arg(fromPath(path))
                          .arg(line));
    return;
  }
  const QColor colour = warning ? QColor(255, 232, 190) : QColor(255, 205, 205);
  const LineIndex* index = indexOf(path);
  const auto context = index != nullptr ? readLineContext(*index, path, line, kAround) : std::nullopt;
  if (!context || !context->found) {
    heading_->setText(utf8("A linha %1 não existe mais em %2: o arquivo mudou depois da validação.")
                          .arg(line)
                          .arg(fromPath(path)));
    return;
  }
  const std::string& text = context->lines[static_cast<std::size_t>(line - context->firstLine)];
  const int type = recordTypeOf(text);
  const RecordLayout* layout = layoutOf(type);
  const QString tag = layout != nullptr ? recordTag(type) : utf8("tipo desconhecido");
  QString heading = utf8("Linha %1: %2, %3 caracteres").arg(line).arg(tag).arg(text.size());
  if (layout != nullptr && static_cast<int>(text.size()) != layout->length)
    heading += utf8(" (o registro tem %1)").arg(layout->length);
  heading_->setText(heading);

  if (layout != nullptr) {
    fields_->setRowCount(static_cast<int>(layout->fields.size()));
    int row = 0;
    for (const FieldLayout& fieldLayout : layout->fields) {
      const std::size_t start = static_cast<std::size_t>(fieldLayout.start - 1);
      const std::string value =
          start < text.size() ? text.substr(start, static_cast<std::size_t>(fieldLayout.width)) : std::string();
      const QStringList cells = {QString::number(fieldLayout.number),
                                 QString::fromLatin1(fieldLayout.name.data(), static_cast<qsizetype>(fieldLayout.name.size())),
                                 QString::number(fieldLayout.start), QString::number(fieldLayout.width),
                                 visibleBlanks(fromCp1252(value)), fromCp1252(interpretedValue(*layout, fieldLayout.number, text))};
      const bool failed = field > 0 && field == fieldLayout.number;
      for (int column = 0; column < cells.size(); ++column) {
        auto* item = new QTableWidgetItem(cells[column]);
        item->setToolTip(cells[column]);  // a value wider than its column reads whole
        if (failed) {
          item->setBackground(colour);
          item->setForeground(warning ? kWarningColour : kErrorColour);
          QFont bold = item->font();
          bold.setBold(true);
          item->setFont(bold);
        }
        fields_->setItem(row, column, item);
      }
      if (failed) highlightedRow_ = row;
      ++row;
    }
    if (highlightedRow_ >= 0) {
      // Current without being selected: the row keeps the error colour.
      fields_->selectionModel()->setCurrentIndex(fields_->model()->index(highlightedRow_, 4), QItemSelectionModel::NoUpdate);
      fields_->doItemsLayout();  // the scroll range, even while the tab is hidden
      fields_->scrollToItem(fields_->item(highlightedRow_, 0), QAbstractItemView::PositionAtCenter);
      fields_->horizontalScrollBar()->setValue(0);  // the field's number and name stay in view
    }
  }

  // The lines around it, numbered as "Ler Registro Salvo" numbers them.
  QStringList shown;
  for (std::size_t i = 0; i < context->lines.size(); ++i) {
    const std::string& l = context->lines[i];
    QString piece = fromCp1252(std::string_view(l).substr(0, kShownContext));
    if (l.size() > kShownContext) piece += QChar(0x2026);
    shown << QString("%1 - %2").arg(context->firstLine + static_cast<int>(i), 8, 10, QChar('0')).arg(piece);
  }
  context_->setPlainText(shown.join('\n'));
  QTextEdit::ExtraSelection current;
  current.cursor = QTextCursor(context_->document()->findBlockByNumber(line - context->firstLine));
  current.format.setBackground(colour);
  current.format.setProperty(QTextFormat::FullWidthSelection, true);
  context_->setExtraSelections({current});
}

}  // namespace tavex::app
