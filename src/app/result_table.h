// What the result tables of the workbench ("Achados", "Indícios") have in common:
// one look (whole rows selected, read-only, sorted by each cell's Qt::UserRole
// key) and one way to open a row (a double click, or Enter on the current row).
#pragma once

#include <QColor>
#include <QObject>
#include <QString>
#include <functional>

class QAbstractItemModel;
class QSortFilterProxyModel;
class QTableView;

namespace tavex::app {

// The colours of the rows that need the auditor most (errors, alerts) and of the warnings.
inline const QColor kErrorColour(0xb0, 0x00, 0x20);
inline const QColor kWarningColour(0xb3, 0x6b, 0x00);

// "1 erro", "2 erros" (UTF-8 words).
QString plural(int n, const char* one, const char* many);

// Shows `rows` in `table` with the workbench's table conventions, sorted by `sortColumn`.
void setUpResultTable(QTableView* table, QSortFilterProxyModel* rows, int sortColumn);

// Calls `open` with the source row of the row double-clicked in `table`, or of its
// current row when Enter is pressed there. Enter is handled whole: the key must
// not go on to the window once the row has taken the focus elsewhere.
void openRowsOf(QTableView* table, std::function<void(int sourceRow)> open);

// Keeps the message column `column` of `table` in view at any width: shown right
// after the columns before `after` (its visual place), as wide as the room the
// other shown columns leave and never narrower than a readable minimum; with
// `lines` over 1 the rows are that many lines high and the message wraps in them.
void fitMessageColumn(QTableView* table, int column, int after, int lines);

// Calls `changed` whenever `rows` gains or loses rows (a filter narrowed or widened),
// while `context` lives.
void followRowCount(QAbstractItemModel* rows, QObject* context, std::function<void()> changed);

// The rows `rows` shows now (filtered and sorted), with the headers of its source
// model, as an HTML table to print.
QString printableTable(const QSortFilterProxyModel* rows);

}  // namespace tavex::app
