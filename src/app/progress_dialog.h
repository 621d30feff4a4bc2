// CProgressDlg: the modal wait shown while a worker runs. No title, the text
// "Aguarde, em execução...", a bar of 0..100 and "Cancelar". Every 100 ms it moves
// the bar (the worker's progress, or an animation in steps of 5 that goes on from
// where the previous dialog left it) and closes as accepted once the worker has
// finished. "Cancelar", Escape and the close box close it as cancelled. The bar
// shows its percentage only when it follows the worker's progress.
#pragma once

#include <QDialog>

class QProgressBar;
class QTimer;

namespace tavex {
class WorkerJob;
}

namespace tavex::app {

class CProgressDlg : public QDialog {
  Q_OBJECT

 public:
  CProgressDlg(WorkerJob& job, bool showPercentage, QWidget* parent = nullptr);

  // The animation position, program-wide, kept from one dialog to the next.
  static int animationPosition;

  QProgressBar* bar() const { return bar_; }

 public slots:
  // One timer tick (public so tests can tick without waiting).
  void tick();

 private:
  WorkerJob& job_;
  bool showPercentage_;
  QProgressBar* bar_;
  QTimer* timer_;
};

}  // namespace tavex::app
