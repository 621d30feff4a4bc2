// The "Achados" tab: the last validation's findings as a sortable, filterable
// table (a model over the findings, so 100,000 of them cost no widget each).
#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QWidget>
#include <vector>

#include "validation/finding.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QTableView;

namespace tavex::app {

class OriginBar;

// "E05", "EAD" or empty for an unknown type.
QString recordTag(int recordType);

// The findings as rows: severity (icon and colour), line, record, field, message.
// Qt::UserRole gives each cell's sort key; the model does not own the findings.
class FindingsModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { SeverityColumn, LineColumn, RecordColumn, FieldColumn, MessageColumn, ColumnCount };
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

// Keeps the rows of one severity (or both), one record type (0: all) and whose
// message contains the search text (ignoring case).
class FindingsFilter : public QSortFilterProxyModel {
  Q_OBJECT
 public:
  explicit FindingsFilter(QObject* parent = nullptr);
  void setSeverity(int severity);  // -1 both, 0 errors, 1 warnings
  void setRecordType(int type);
  void setSearch(const QString& text);

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

 private:
  int severity_ = -1;
  int recordType_ = 0;
  QString search_;
};

class FindingsPanel : public QWidget {
  Q_OBJECT
 public:
  explicit FindingsPanel(QWidget* parent = nullptr);

  void setFindings(const std::vector<Finding>* findings);
  // "Achados", or "Achados (2 erros, 1 aviso)" once a run found something.
  QString tabTitle() const;
  void focusSearch();
  // The rows as the table shows them now (filtered and sorted), as an HTML table to print.
  QString printableHtml() const;
  void setLogActions(bool enabled);

  FindingsModel* model() const { return model_; }
  FindingsFilter* filter() const { return filter_; }
  QTableView* table() const { return table_; }
  OriginBar* origin() const { return origin_; }

 signals:
  // A finding was double-clicked (or Enter pressed on it): its index in the findings.
  void findingActivated(int index);
  void saveLogRequested();  // "Salvar log como…"
  void printRequested();    // "Imprimir"
  void reportRequested();   // "Gerar relatório…"

 protected:
  // Enter in the search box goes to the first finding shown (Enter on the table opens
  // the current one); Escape clears the search. Neither key leaves the panel.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  const std::vector<Finding>* findings_ = nullptr;
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
};

}  // namespace tavex::app
