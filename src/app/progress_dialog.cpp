#include "app/progress_dialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/qt_text.h"
#include "jobs/worker_job.h"

namespace tavex::app {

int CProgressDlg::animationPosition = 0;

CProgressDlg::CProgressDlg(WorkerJob& job, bool showPercentage, QWidget* parent)
    : QDialog(parent), job_(job), showPercentage_(showPercentage) {
  setObjectName("CProgressDlg");
  setWindowTitle(QString());
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel(fromCp1252("Aguarde, em execução..."_cp), this);
  text->setObjectName("texto");
  bar_ = new QProgressBar(this);
  bar_->setObjectName("barra");
  bar_->setRange(0, 100);
  bar_->setValue(0);
  // The animation measures nothing: no percentage under it.
  bar_->setTextVisible(showPercentage_);
  auto* cancel = new QPushButton("Cancelar", this);
  cancel->setObjectName("cancelar");
  layout->addWidget(text);
  layout->addWidget(bar_);
  layout->addWidget(cancel, 0, Qt::AlignHCenter);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  timer_ = new QTimer(this);
  timer_->setInterval(100);
  connect(timer_, &QTimer::timeout, this, &CProgressDlg::tick);
  timer_->start();
  setMinimumWidth(320);
}

void CProgressDlg::tick() {
  if (showPercentage_) {
    bar_->setValue(job_.progress());
  } else {
    animationPosition += 5;
    if (animationPosition > 100) animationPosition = 0;
    bar_->setValue(animationPosition);
  }
  if (job_.isFinished()) {
    timer_->stop();
    accept();
  }
}

}  // namespace tavex::app
