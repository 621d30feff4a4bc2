// The "Conciliação" tab: every Z reduction's declared totals next to its
// documents' sums (E12 on the reduction's row, E13/E17/E18 under it), the rows over
// the tolerance highlighted, a bar chart of each day's largest difference and the table as CSV.
#pragma once

#include <QWidget>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "validation/reconciliation.h"

class QBarSet;
class QChartView;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace tavex::app {

class OriginBar;

// Centavos as "-1.234,56".
QString money(std::int64_t cents);
// AAAAMMDD as DD/MM/AAAA; anything else as it is.
QString dayOf(const std::string& date);
// The table as CSV (cp1252, ';', CR LF): one line per total.
std::string reconciliationCsv(const Reconciliation& reconciliation);

class ReconciliationPanel : public QWidget {
  Q_OBJECT
 public:
  explicit ReconciliationPanel(QWidget* parent = nullptr);

  // Shows the reconciliation of the last run, or a sentence when there is none.
  void setReconciliation(const std::optional<Reconciliation>& reconciliation);

  QTreeWidget* table() const { return table_; }
  QChartView* chart() const { return chart_; }
  QBarSet* bars() const { return bars_; }
  QLabel* emptyNote() const { return empty_; }
  QPushButton* exportButton() const { return export_; }
  OriginBar* origin() const { return origin_; }

 signals:
  void exportRequested();

 private:
  OriginBar* origin_;
  QLabel* empty_;
  QTreeWidget* table_;
  QChartView* chart_;
  QBarSet* bars_ = nullptr;
  QPushButton* export_;
  std::vector<ReductionReconciliation> shown_;  // what the rows show, for their totals
};

}  // namespace tavex::app
