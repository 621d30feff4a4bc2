// The "EFD" tab: the last "Confrontar com EFD…" (window/efd_review.h) as the
// auditor reads it: the month summary of each ECF on top, the divergences below
// as a table with the conventions of "Achados" (level filter, search, sorting),
// and beside the list the EFD line as the taxpayer wrote it and the ECF record
// decoded. Enter or a double click opens the ECF record in "Registro".
#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QWidget>
#include <string>

#include "window/efd_review.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTableView;
class QTableWidget;

namespace tavex::app {

class RecordPanel;

// The divergences as rows: level, code, ECF, CRZ, COO, date, declared, recorded,
// EFD line, sentence. Qt::UserRole gives each cell's sort key (the level's keeps
// the review's order within a level); the model does not own the review.
class EfdRowsModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column {
    LevelColumn, CodeColumn, SerialColumn, CrzColumn, CooColumn, DateColumn, DeclaredColumn, RecordedColumn,
    EfdLineColumn, MessageColumn, ColumnCount
  };
  using QAbstractTableModel::QAbstractTableModel;

  void setReview(const EfdReview* review);  // kept alive by the caller until the next call
  const EfdReview* review() const { return review_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  const EfdReview* review_ = nullptr;
};

// Keeps the rows an EfdRowQuery accepts.
class EfdRowsFilter : public QSortFilterProxyModel {
  Q_OBJECT
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;
  void setLevel(int level);  // -1 all, 0 alerts, 1 information
  void setSearch(const QString& text);

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

 private:
  EfdRowQuery query_;
};

class EfdPanel : public QWidget {
  Q_OBJECT
 public:
  explicit EfdPanel(QWidget* parent = nullptr);

  // The review to show (null: none yet); the caller keeps it alive.
  void setReview(const EfdReview* review);
  // "EFD", or "EFD (3)" when the review has 3 alerts.
  QString tabTitle() const;

  EfdRowsModel* model() const { return model_; }
  EfdRowsFilter* filter() const { return filter_; }
  QTableView* table() const { return table_; }
  QTableWidget* summary() const { return summary_; }
  QPlainTextEdit* efdLine() const { return efdLine_; }
  RecordPanel* detail() const { return detail_; }

 signals:
  // A divergence was opened (Enter, double click) whose ECF record is line `line` of `path`.
  void recordActivated(const std::string& path, int line);

 protected:
  // Enter in the search box goes to the first row shown; Escape clears the search.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void showSelected();
  void fillSummary();

  const EfdReview* review_ = nullptr;
  QLabel* origin_;
  QLabel* problems_;
  QTableWidget* summary_;
  EfdRowsModel* model_;
  EfdRowsFilter* filter_;
  QComboBox* level_;
  QLineEdit* search_;
  QTableView* table_;
  QPlainTextEdit* efdLine_;
  RecordPanel* detail_;
};

}  // namespace tavex::app
