// The port through which every command reaches the user. The window implements it
// with real dialogs, tavex-cli with the terminal, tests with a scripted fake.
//
// Texts cross the port as cp1252 bytes; an implementation converts them for display.
// Called only from the user-interface thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cotepe/notifier.h"
#include "port/period_dialog.h"

namespace tavex {

struct OpenFileRequest {
  std::string defaultExtension;  // e.g. "*.txt"
  std::string initialName;
  std::string filter;            // e.g. "Arquivos Texto (*.txt)|*.txt||"
  bool mustExist = true;
  bool save = false;             // a save chooser: any name, and replacing an existing file is asked first
  std::string title{};           // cp1252; empty for the platform's own ("Abrir", "Salvar como")
};

class WorkerJob;

// How a modal progress wait ended.
enum class WorkerOutcome { NotStarted, Finished, Cancelled };

class UserInterface : public Notifier {
 public:
  // showMessage (from Notifier): a message box with one OK button.

  // A file chooser (to open, or to save when request.save); nothing when the user cancels.
  virtual std::optional<std::string> chooseOpenFile(const OpenFileRequest& request) = 0;

  // A chooser of several existing files at once; none when the user cancels. An
  // interface without one keeps this default: the one file chooseOpenFile gives.
  virtual std::vector<std::string> chooseOpenFiles(const OpenFileRequest& request) {
    if (std::optional<std::string> one = chooseOpenFile(request)) return {std::move(*one)};
    return {};
  }

  // A folder chooser; nothing when the user cancels.
  virtual std::optional<std::string> chooseFolder(std::string_view title) = 0;

  // Starts `job` on the worker and waits in a modal progress display until it
  // finishes or the user cancels.
  virtual WorkerOutcome runWithProgress(WorkerJob& job, bool showPercentage) = 0;

  // A question with the buttons "Continuar" and "Cancelar" (warning icon): true
  // when the user goes on. An interface that cannot ask keeps this default, which
  // cancels.
  virtual bool askToContinue(std::string_view text, std::string_view title) {
    (void)text;
    (void)title;
    return false;
  }

  // A modal period dialog drawn from `dialog` (ui/period_dialog.h): "OK" runs its
  // check, shows a failed check's message ("Erro!", error icon) and stays open;
  // the answer when a check passed, nothing when the user cancels. An interface
  // that cannot show the dialog keeps this default, which cancels it.
  virtual std::optional<PeriodAnswer> askPeriod(const PeriodDialogDescription& dialog) {
    (void)dialog;
    return std::nullopt;
  }
};

}  // namespace tavex
