#include "app/qt_user_interface.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include "app/period_dialog.h"
#include "app/progress_dialog.h"
#include "app/qt_text.h"
#include "printer/worker_job.h"

namespace tavex::app {

QString qtFilterOf(const std::string& filter) {
  const QStringList parts = fromCp1252(filter).split('|');
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2)
    if (!parts[i].isEmpty()) filters << parts[i];
  return filters.join(";;");
}

void QtUserInterface::showMessage(std::string_view text, std::string_view title, Icon icon) {
  QMessageBox box(owner_);
  box.setText(fromCp1252(text));
  box.setWindowTitle(fromCp1252(title));
  switch (icon) {
    case Icon::Error: box.setIcon(QMessageBox::Critical); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
  }
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

std::optional<std::string> QtUserInterface::chooseOpenFile(const OpenFileRequest& request) {
  QFileDialog dialog(owner_);
  dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setNameFilter(qtFilterOf(request.filter));
  if (!request.initialName.empty()) dialog.selectFile(fromCp1252(request.initialName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return toPath(dialog.selectedFiles().first());
}

std::optional<std::string> QtUserInterface::chooseFolder(std::string_view title) {
  const QString folder = QFileDialog::getExistingDirectory(owner_, fromCp1252(title));
  if (folder.isEmpty()) return std::nullopt;
  return toPath(folder);
}

WorkerOutcome QtUserInterface::runWithProgress(WorkerJob& job, bool showPercentage) {
  if (!job.start()) return WorkerOutcome::NotStarted;
  CProgressDlg dialog(job, showPercentage, owner_);
  if (dialog.exec() == QDialog::Accepted) return WorkerOutcome::Finished;
  job.cancel();
  return WorkerOutcome::Cancelled;
}

}  // namespace tavex::app

namespace tavex::app {

std::optional<PeriodAnswer> QtUserInterface::askPeriod(const PeriodDialogDescription& description) {
  PeriodDialog dialog(*this, description, owner_);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.state().answer();
}

}  // namespace tavex::app
