// The UserInterface of the window: real message boxes, file and folder choosers,
// and the modal progress dialog. Texts arrive as cp1252 and are shown as Unicode.
#pragma once

#include <QPointer>
#include <QWidget>

#include "ui/user_interface.h"

namespace tavex::app {

class QtUserInterface : public UserInterface {
 public:
  explicit QtUserInterface(QWidget* owner = nullptr) : owner_(owner) {}
  void setOwner(QWidget* owner) { owner_ = owner; }

  void showMessage(std::string_view text, std::string_view title, Icon icon) override;
  std::optional<std::string> chooseOpenFile(const OpenFileRequest& request) override;
  std::optional<std::string> chooseFolder(std::string_view title) override;
  WorkerOutcome runWithProgress(WorkerJob& job, bool showPercentage) override;
  std::optional<PeriodAnswer> askPeriod(const PeriodDialogDescription& dialog) override;
  bool askToContinue(std::string_view text, std::string_view title) override;

 private:
  QPointer<QWidget> owner_;
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
