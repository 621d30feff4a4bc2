// The "Indícios" tab: what the ECF's counters and dates say when set against each
// other (indicators/indicator.h), from the same run as "Achados", as a sortable
// table filtered by level.
#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QWidget>
#include <string>
#include <vector>

#include "indicators/indicator.h"

class QComboBox;
class QTableView;

namespace tavex::app {

class OriginBar;
class RecordPanel;

// The indicators as rows: level (icon and colour), code, line, CRZ, COO, expected,
// found and the sentence. Qt::UserRole gives each cell's sort key (the level's
// keeps line order within a level); the model does not own the indicators.
class IndicatorsModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column {
    LevelColumn,
    CodeColumn,
    LineColumn,
    CrzColumn,
    CooColumn,
    ExpectedColumn,
    FoundColumn,
    MessageColumn,
    ColumnCount
  };
  using QAbstractTableModel::QAbstractTableModel;

  // Shows `indicators` (kept alive by the caller until the next call).
  void setIndicators(const std::vector<Indicator>* indicators);
  const Indicator& indicator(int row) const { return (*indicators_)[static_cast<std::size_t>(row)]; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  const std::vector<Indicator>* indicators_ = nullptr;
};

// Keeps the rows of one level, or all.
class IndicatorsFilter : public QSortFilterProxyModel {
  Q_OBJECT
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;
  void setLevel(int level);  // -1 all, 0 alerts, 1 information

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

 private:
  int level_ = -1;
};

class IndicatorsPanel : public QWidget {
  Q_OBJECT
 public:
  explicit IndicatorsPanel(QWidget* parent = nullptr);

  // The indicators of the last run of `path` (the caller keeps them alive).
  void setIndicators(const std::vector<Indicator>* indicators, const std::string& path = {});
  // "Indícios", or "Indícios (2)" when the last run gave 2 alerts.
  QString tabTitle() const;

  IndicatorsModel* model() const { return model_; }
  IndicatorsFilter* filter() const { return filter_; }
  QTableView* table() const { return table_; }
  OriginBar* origin() const { return origin_; }
  RecordPanel* detail() const { return detail_; }

 signals:
  // An indicator was double-clicked (or Enter pressed on it): its index in the indicators.
  void indicatorActivated(int index);

 private:
  void showSelected();
  void step(int by);

  const std::vector<Indicator>* indicators_ = nullptr;
  std::string path_;
  RecordPanel* detail_ = nullptr;
  OriginBar* origin_;
  IndicatorsModel* model_;
  IndicatorsFilter* filter_;
  QComboBox* level_;
  QTableView* table_;
};

}  // namespace tavex::app
