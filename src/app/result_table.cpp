#include "app/result_table.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <algorithm>
#include <utility>

namespace tavex::app {

namespace {

int sourceRow(const QTableView* table, const QModelIndex& index) {
  const auto* proxy = qobject_cast<const QSortFilterProxyModel*>(table->model());
  return proxy != nullptr ? proxy->mapToSource(index).row() : index.row();
}

// Enter on the table opens its current row.
class EnterOpensRow : public QObject {
 public:
  EnterOpensRow(QTableView* table, std::function<void(int)> open) : QObject(table), table_(table), open_(std::move(open)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != table_ || event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
    if (const QModelIndex current = table_->currentIndex(); current.isValid()) open_(sourceRow(table_, current));
    return true;
  }

 private:
  QTableView* table_;
  std::function<void(int)> open_;
};

// Gives the message column the room the other columns leave, whenever the table
// or a column changes its width.
class MessageColumnFitter : public QObject {
 public:
  MessageColumnFitter(QTableView* table, int column)
      : QObject(table), table_(table), viewport_(table->viewport()), column_(column) {
    viewport_->installEventFilter(this);
    connect(table->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section) {
      if (section != column_) fit();
    });
  }

  void fit() {
    QHeaderView* header = table_->horizontalHeader();
    int others = 0;
    for (int section = 0; section < header->count(); ++section)
      if (section != column_ && !header->isSectionHidden(section)) others += header->sectionSize(section);
    const int minimum = table_->fontMetrics().averageCharWidth() * 40;
    header->resizeSection(column_, std::max(minimum, viewport_->width() - others));
  }

 protected:
  // The viewport is compared by the pointer kept: while the table is being
  // destroyed it still sends events, and it is no QTableView any more.
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == viewport_ && (event->type() == QEvent::Resize || event->type() == QEvent::Show)) fit();
    return false;
  }

 private:
  QTableView* table_;
  QWidget* viewport_;
  int column_;
};

}  // namespace

void fitMessageColumn(QTableView* table, int column, int after, int lines) {
  QHeaderView* header = table->horizontalHeader();
  header->setStretchLastSection(false);
  header->moveSection(header->visualIndex(column), header->visualIndex(after) + 1);
  if (lines > 1) {
    table->setWordWrap(true);
    table->setTextElideMode(Qt::ElideRight);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().lineSpacing() * lines + 6);
  }
  auto* fitter = new MessageColumnFitter(table, column);
  fitter->fit();
}

void followRowCount(QAbstractItemModel* rows, QObject* context, std::function<void()> changed) {
  QObject::connect(rows, &QAbstractItemModel::rowsInserted, context, changed);
  QObject::connect(rows, &QAbstractItemModel::rowsRemoved, context, changed);
  QObject::connect(rows, &QAbstractItemModel::modelReset, context, changed);
  QObject::connect(rows, &QAbstractItemModel::layoutChanged, context, changed);
}

QString plural(int n, const char* one, const char* many) {
  return QString::number(n) + " " + QString::fromUtf8(n == 1 ? one : many);
}

void setUpResultTable(QTableView* table, QSortFilterProxyModel* rows, int sortColumn) {
  rows->setSortRole(Qt::UserRole);
  table->setModel(rows);
  table->setSortingEnabled(true);
  table->sortByColumn(sortColumn, Qt::AscendingOrder);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setSelectionMode(QAbstractItemView::SingleSelection);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setWordWrap(false);
  table->setTabKeyNavigation(false);  // Tab leaves the table in one key; the arrows move within it
  table->verticalHeader()->hide();
  table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
  table->horizontalHeader()->setStretchLastSection(true);
}

void openRowsOf(QTableView* table, std::function<void(int sourceRow)> open) {
  QObject::connect(table, &QTableView::activated, table,
                   [table, open](const QModelIndex& index) { open(sourceRow(table, index)); });
  table->installEventFilter(new EnterOpensRow(table, open));
}

QString printableTable(const QSortFilterProxyModel* rows) {
  const QAbstractItemModel* source = rows->sourceModel();
  const int columns = source->columnCount();
  QString html = "<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\"><tr>";
  for (int column = 0; column < columns; ++column)
    html += "<th>" + source->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString() + "</th>";
  html += "</tr>";
  for (int row = 0; row < rows->rowCount(); ++row) {
    html += "<tr>";
    for (int column = 0; column < columns; ++column)
      html += "<td>" + rows->index(row, column).data().toString().toHtmlEscaped() + "</td>";
    html += "</tr>";
  }
  return html + "</table>";
}

}  // namespace tavex::app
