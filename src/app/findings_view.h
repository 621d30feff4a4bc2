// The "Achados" tab: the last validation's findings as a sortable, filterable
// table (a model over the findings, so 100,000 of them cost no widget each), with
// the selected finding's record decoded beside it.
#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QWidget>
#include <string>
#include <vector>

#include "validation/finding.h"
#include "window/finding_query.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSplitter;
class QTableView;

namespace tavex::app {

class OriginBar;
class RecordPanel;

// "E05", "EAD" or empty for an unknown type.
QString recordTag(int recordType);

// The findings as rows: severity (icon and colour), line, record, field, the
// reduction and document, the amounts a totals finding compares (R$), message.
// Qt::UserRole gives each cell's sort key; the model does not own the findings.
class FindingsModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column {
    SeverityColumn, LineColumn, RecordColumn, FieldColumn, CrzColumn, CooColumn, DeclaredColumn, ComputedColumn,
    DifferenceColumn, MessageColumn, ColumnCount
  };
  using QAbstractTableModel::QAbstractTableModel;

  // Shows `findings` (kept alive by the caller until the next call).
  void setFindings(const std::vector<Finding>* findings);
  const Finding& finding(int row) const { return (*findings_)[static_cast<std::size_t>(row)]; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  const std::vector<Finding>* findings_ = nullptr;
};

// Keeps the rows of one severity (or both), one record type (0: all), one code
// (empty: all) and whose message contains the search text (ignoring case), as
// FindingQuery decides. With
// "cause first", the field-format findings come before the others, each group in
// the table's order.
class FindingsFilter : public QSortFilterProxyModel {
  Q_OBJECT
 public:
  explicit FindingsFilter(QObject* parent = nullptr);
  void setSeverity(int severity);  // -1 both, 0 errors, 1 warnings
  void setRecordType(int type);
  void setCode(const QString& code);
  void setSearch(const QString& text);
  void setCauseFirst(bool causeFirst);
  const QString& code() const { return code_; }
  bool causeFirst() const { return causeFirst_; }

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

 private:
  QString code_;
  bool causeFirst_ = false;
  FindingQuery query_;  // the same filter the browser workbench pages with
};

// Rows as text for the clipboard: tab-separated cells, or CSV (';', fields holding
// ';', quotes or line ends quoted), one row per line, the header first when asked.
QString rowsAsText(const QAbstractItemModel* rows, const std::vector<int>& rowNumbers, bool header, bool csv);

class FindingsPanel : public QWidget {
  Q_OBJECT
 public:
  explicit FindingsPanel(QWidget* parent = nullptr);

  // The findings of the last run of `path` (empty: no run yet); the caller keeps them alive.
  void setFindings(const std::vector<Finding>* findings, const std::string& path = {});
  // "Achados" before any run, then "Achados (2 erros, 1 aviso)", "Achados (0 erros, 0 avisos)".
  QString tabTitle() const;
  // The banner on top ("As verificações de conteúdo foram desligadas…") with its
  // "Mostrar a causa primeiro"; empty hides it.
  void setCauseNotice(const QString& text);
  // The field-format findings first (the banner's button), or the table's plain order.
  void showCauseFirst(bool causeFirst);
  void focusSearch();
  // The rows as the table shows them now (filtered and sorted), as an HTML table to print.
  QString printableHtml() const;
  void setLogActions(bool enabled);

  FindingsModel* model() const { return model_; }
  FindingsFilter* filter() const { return filter_; }
  QTableView* table() const { return table_; }
  OriginBar* origin() const { return origin_; }
  RecordPanel* detail() const { return detail_; }
  QSplitter* splitter() const { return splitter_; }
  QFrame* causeBanner() const { return banner_; }
  // The current row moved by `step` rows (from the first row when there is none).
  void moveSelection(int step);
  // The context menu of the rows, as it would open on the current row.
  QMenu* rowMenu();

 signals:
  // A finding was double-clicked (or Enter pressed on it): its index in the findings.
  void findingActivated(int index);
  void saveLogRequested();  // "Salvar log como…"
  void printRequested();    // "Imprimir"
  void reportRequested();   // "Gerar relatório…"
  // The current row changed to finding `index` (-1: none).
  void findingSelected(int index);

 protected:
  // Enter in the search box goes to the first finding shown (Enter on the table opens
  // the current one); Escape clears the search. Neither key leaves the panel.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void showSelected();
  std::vector<int> selectedRows() const;  // in the table's order
  void copyRows(bool all, bool csv);

  const std::vector<Finding>* findings_ = nullptr;
  std::string path_;
  OriginBar* origin_;
  FindingsModel* model_;
  FindingsFilter* filter_;
  QComboBox* severity_;
  QComboBox* record_;
  QLineEdit* search_;
  QTableView* table_;
  QPushButton* saveLog_;
  QPushButton* print_;
  QPushButton* report_;
  QPushButton* code_;  // "Código: …" while a code filters the rows; a click removes it
  QFrame* banner_;
  QLabel* bannerText_;
  QPushButton* causeFirst_;
  QSplitter* splitter_;
  RecordPanel* detail_;
  QMenu* menu_ = nullptr;
};

}  // namespace tavex::app
