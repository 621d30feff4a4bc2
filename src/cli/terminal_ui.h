// The user interface of tavex-cli: messages on the terminal (cp1252 converted to
// UTF-8), choosers answered by what the command line already said.
#pragma once

#include <deque>
#include <string>

#include "port/user_interface.h"

namespace tavex {

class TerminalUserInterface : public UserInterface {
 public:
  // Answers for the next choosers, in order; an empty queue answers "cancelled".
  void queueAnswer(std::string answer) { answers_.push_back(std::move(answer)); }

  // Error and warning boxes go to standard error as "Título: texto"; the others to
  // standard output as their text.
  void showMessage(std::string_view text, std::string_view title, Icon icon) override;
  std::optional<std::string> chooseOpenFile(const OpenFileRequest& request) override;
  std::optional<std::string> chooseFolder(std::string_view title) override;
  WorkerOutcome runWithProgress(WorkerJob& job, bool showPercentage) override;

  int errorMessagesShown() const { return errorMessages_; }
  // The text of the last error or warning box shown (cp1252), empty before any.
  const std::string& lastErrorText() const { return lastError_; }

 private:
  std::optional<std::string> nextAnswer();
  std::deque<std::string> answers_;
  int errorMessages_ = 0;
  std::string lastError_;
};

}  // namespace tavex
