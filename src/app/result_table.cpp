#include "app/result_table.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSortFilterProxyModel>
#include <QTableView>
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

}  // namespace

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
