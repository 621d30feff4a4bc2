#include "cli/terminal_ui.h"

#include <cstdio>

#include "cotepe/text.h"

namespace tavex {

void TerminalUserInterface::showMessage(std::string_view text, std::string_view title, Icon icon) {
  const std::string body = cp1252ToUtf8(text);
  if (icon == Icon::Error || icon == Icon::Warning) {
    ++errorMessages_;
    std::fprintf(stderr, "%s: %s\n", cp1252ToUtf8(title).c_str(), body.c_str());
  } else {
    std::fprintf(stdout, "%s\n", body.c_str());
  }
}

std::optional<std::string> TerminalUserInterface::nextAnswer() {
  if (answers_.empty()) return std::nullopt;
  std::string answer = std::move(answers_.front());
  answers_.pop_front();
  return answer;
}

std::optional<std::string> TerminalUserInterface::chooseOpenFile(const OpenFileRequest&) { return nextAnswer(); }

std::optional<std::string> TerminalUserInterface::chooseFolder(std::string_view) { return nextAnswer(); }

WorkerOutcome TerminalUserInterface::runWithProgress(WorkerJob&, bool) { return WorkerOutcome::NotStarted; }

}  // namespace tavex
