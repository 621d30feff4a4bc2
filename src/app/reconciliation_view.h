// The "Conciliação" tab: every Z reduction's declared totals next to its
// documents' sums (E12 on the reduction's row, E13/E17/E18 under it), the rows over
// the tolerance highlighted, a bar chart of each day's largest difference (a month
// of days at a time, or one bar per month) and the table as CSV. When a format
// error left the sums incomplete, a banner says so and the sums are shown as such.
#pragma once

#include <QList>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "validation/reconciliation.h"

class QBarCategoryAxis;
class QBarSet;
class QChartView;
class QComboBox;
class QLabel;
class QPushButton;
class QScrollBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace tavex::app {

class OriginBar;

// Centavos as "-1.234,56".
QString money(std::int64_t cents);
// AAAAMMDD as DD/MM/AAAA; anything else as it is.
QString dayOf(const std::string& date);
// Whether the computed sum of `total` is a fact: a format error that switched the
// content checks off left the documents' sums short, and a short sum is neither
// held to the tolerance, nor highlighted, nor charted.
bool sumIsFact(const Reconciliation& reconciliation, const ReconciledTotal& total);
// The table as CSV (CsvTable: cp1252, ';', CR LF, names quoted when they must
// be): one line per total.
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
  QLabel* incompleteNote() const { return incomplete_; }
  QPushButton* exportButton() const { return export_; }
  OriginBar* origin() const { return origin_; }
  QComboBox* grouping() const { return grouping_; }  // "Por dia" (0) or "Por mês" (1)
  QScrollBar* dayScroll() const { return scroll_; }  // the first day shown, when there are more than fit
  QBarCategoryAxis* days() const { return axisX_; }
  // Days shown at once in the chart.
  static constexpr int kDaysShown = 31;

 signals:
  void exportRequested();
  // A row was double-clicked (or Enter pressed on it): the line of its declaring record.
  void lineActivated(int line);
  // "Mostrar a causa primeiro" under an incomplete reconciliation.
  void causeRequested();

 private:
  void drawChart();        // the bars of the chosen grouping
  void showDaysFrom(int first);
  void fitLabels();  // the day or month labels across when they fit, upright when not
  // The rows of a reduction's totals under its own (E13, E17, E18), not yet in the tree.
  QList<QTreeWidgetItem*> totalsUnder(const ReductionReconciliation& reduction) const;
  bool eventFilter(QObject* watched, QEvent* event) override;

  OriginBar* origin_;
  QLabel* empty_;
  QLabel* incomplete_;
  QPushButton* causeFirst_;
  QTreeWidget* table_;
  QLabel* chartTitle_;
  QChartView* chart_;
  QComboBox* grouping_;
  QScrollBar* scroll_;
  QBarSet* bars_ = nullptr;
  QBarCategoryAxis* axisX_ = nullptr;
  QPushButton* export_;
  std::vector<ReductionReconciliation> shown_;  // what the rows show, for their totals
  std::vector<std::pair<QString, int>> months_;  // "MM/AAAA" and the index of its first day in shown_
  QString incompleteText_;                       // why the sums are incomplete; empty when they are not
  Reconciliation header_;                        // the shown reconciliation without its reductions
};

}  // namespace tavex::app
