// The UserInterface of the window: real message boxes, file and folder choosers,
// and the modal progress dialog. Texts arrive as cp1252 and are shown as Unicode.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class QSettings;

#include "port/user_interface.h"

namespace tavex::app {

class QtUserInterface : public UserInterface {
 public:
  explicit QtUserInterface(QWidget* owner = nullptr) : owner_(owner) {}
  void setOwner(QWidget* owner) { owner_ = owner; }

  void showMessage(std::string_view text, std::string_view title, Icon icon) override;
  std::optional<std::string> chooseOpenFile(const OpenFileRequest& request) override;
  std::vector<std::string> chooseOpenFiles(const OpenFileRequest& request) override;
  std::optional<std::string> chooseFolder(std::string_view title) override;
  WorkerOutcome runWithProgress(WorkerJob& job, bool showPercentage) override;
  std::optional<PeriodAnswer> askPeriod(const PeriodDialogDescription& dialog) override;
  bool askToContinue(std::string_view text, std::string_view title) override;

  // The next chooser of an existing file starts at `path` (a file dropped on the window).
  void suggestFile(const QString& path) { suggested_ = path; }
  // Each file chooser (told apart by its filter) starts in the folder it was last
  // left in, kept in `settings` (not owned; null forgets nothing and remembers
  // nothing). When a command has moved the current directory away from
  // `startDirectory` (into a manufacturer's working folder), the chooser starts there.
  void rememberFolders(QSettings* settings, const QString& startDirectory);

 private:
  QStringList choose(const OpenFileRequest& request, bool several);
  QPointer<QWidget> owner_;
  QString suggested_;
  QSettings* settings_ = nullptr;
  QString startDirectory_;
};

// "Arquivos Texto (*.txt)|*.txt||" -> "Arquivos Texto (*.txt)": the chooser filters
// of the desktop program in Qt's form.
QString qtFilterOf(const std::string& filter);

// "*.txt" -> "txt": the suffix a chooser adds to a typed name without one.
QString qtDefaultSuffixOf(const std::string& defaultExtension);

// Installs Qt's Brazilian Portuguese translations (qtbase_pt_BR from Qt's
// translations folder), so standard buttons and choosers speak Portuguese. False
// when they are not installed: the standard texts then stay English.
bool installPortugueseTranslations();

}  // namespace tavex::app
