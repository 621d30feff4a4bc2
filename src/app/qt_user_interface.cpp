#include "app/qt_user_interface.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStringList>
#include <QTranslator>

#include "app/period_dialog.h"
#include "app/progress_dialog.h"
#include "app/qt_text.h"
#include "jobs/worker_job.h"

namespace tavex::app {

QString qtFilterOf(const std::string& filter) {
  const QStringList parts = fromCp1252(filter).split('|');
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2)
    if (!parts[i].isEmpty()) filters << parts[i];
  return filters.join(";;");
}

QString qtDefaultSuffixOf(const std::string& defaultExtension) {
  QString suffix = fromCp1252(defaultExtension);
  while (suffix.startsWith('*') || suffix.startsWith('.')) suffix.remove(0, 1);
  return suffix;
}

bool installPortugueseTranslations() {
  static QTranslator* translator = nullptr;
  if (translator != nullptr) return true;
  auto* loaded = new QTranslator(QCoreApplication::instance());
  if (!loaded->load(QLocale(QLocale::Portuguese, QLocale::Brazil), "qtbase", "_",
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete loaded;
    return false;
  }
  QCoreApplication::installTranslator(loaded);
  translator = loaded;
  return true;
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

void QtUserInterface::rememberFolders(QSettings* settings, const QString& startDirectory) {
  settings_ = settings;
  startDirectory_ = startDirectory;
}

std::optional<std::string> QtUserInterface::chooseOpenFile(const OpenFileRequest& request) {
  const QStringList chosen = choose(request, false);
  if (chosen.isEmpty()) return std::nullopt;
  return toPath(chosen.first());
}

std::vector<std::string> QtUserInterface::chooseOpenFiles(const OpenFileRequest& request) {
  std::vector<std::string> paths;
  for (const QString& file : choose(request, true)) paths.push_back(toPath(file));
  return paths;
}

QStringList QtUserInterface::choose(const OpenFileRequest& request, bool several) {
  QFileDialog dialog(owner_);
  dialog.setObjectName("seletorArquivo");
  if (request.save) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);  // asks before replacing an existing file
    dialog.setFileMode(QFileDialog::AnyFile);
  } else {
    dialog.setFileMode(several ? QFileDialog::ExistingFiles
                               : request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  }
  if (!request.title.empty()) dialog.setWindowTitle(fromCp1252(request.title));
  dialog.setNameFilter(qtFilterOf(request.filter));
  dialog.setDefaultSuffix(qtDefaultSuffixOf(request.defaultExtension));  // a name typed without extension
  const QString key = "pastas/" + QString::fromLatin1(QByteArray::fromStdString(request.filter).toHex());
  const bool inWorkingFolder =
      !startDirectory_.isEmpty() && QFileInfo(QDir::currentPath()).canonicalFilePath() != QFileInfo(startDirectory_).canonicalFilePath();
  if (!suggested_.isEmpty() && request.mustExist) {
    dialog.setDirectory(QFileInfo(suggested_).absolutePath());
    dialog.selectFile(suggested_);
    suggested_.clear();
  } else if (inWorkingFolder) {
    dialog.setDirectory(QDir::currentPath());
  } else if (settings_ != nullptr) {
    const QString folder = settings_->value(key).toString();
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) dialog.setDirectory(folder);
  }
  if (!request.initialName.empty()) dialog.selectFile(fromCp1252(request.initialName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  const QStringList chosen = dialog.selectedFiles();
  if (settings_ != nullptr) {
    settings_->setValue(key, QFileInfo(chosen.first()).absolutePath());
    settings_->sync();  // a read-only or broken settings file only forgets
  }
  return chosen;
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

bool QtUserInterface::askToContinue(std::string_view text, std::string_view title) {
  QMessageBox box(owner_);
  box.setText(fromCp1252(text));
  box.setWindowTitle(fromCp1252(title));
  box.setIcon(QMessageBox::Warning);
  QPushButton* goOn = box.addButton("Continuar", QMessageBox::AcceptRole);
  goOn->setObjectName("continuar");
  QPushButton* cancel = box.addButton("Cancelar", QMessageBox::RejectRole);
  cancel->setObjectName("cancelar");
  box.setDefaultButton(cancel);
  box.setEscapeButton(cancel);
  box.exec();
  return box.clickedButton() == goOn;
}

std::optional<PeriodAnswer> QtUserInterface::askPeriod(const PeriodDialogDescription& description) {
  PeriodDialog dialog(*this, description, owner_);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.state().answer();
}

}  // namespace tavex::app
