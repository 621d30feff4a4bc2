#include "cli/terminal_ui.h"

#include <unistd.h>

#include <chrono>
#include <memory>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

#include "cli/commands.h"
#include "cotepe/text.h"
#include "jobs/worker_job.h"
#include "platform/platform.h"

namespace tavex {

void TerminalUserInterface::showMessage(std::string_view text, std::string_view title, Icon icon) {
  const std::string body = cli::terminalText(text);  // it may quote a name or a file's text
  if (icon == Icon::Error || icon == Icon::Warning) {
    ++errorMessages_;
    lastError_ = text;
    std::fprintf(stderr, "%s: %s\n", cli::terminalText(title).c_str(), body.c_str());
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

namespace {

volatile std::sig_atomic_t interrupted = 0;
int animation = 0;  // the animated bar's position, program-wide, kept from one wait to the next
extern "C" void onInterrupt(int) { interrupted = 1; }

// "[#########           ]  45%" on one line of standard error, redrawn in place.
void drawBar(int position, bool showPercentage) {
  constexpr int kWidth = 40;
  const int filled = position * kWidth / 100;
  std::string bar = "\r[" + std::string(static_cast<std::size_t>(filled), '#') +
                    std::string(static_cast<std::size_t>(kWidth - filled), ' ') + "]";
  if (showPercentage) bar += cformat(" %3d%%", position);
  std::fputs(bar.c_str(), stderr);
  std::fflush(stderr);
}

void clearBar() {
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
}

}  // namespace

// Waits for the worker. On a terminal, standard error shows a bar redrawn ten
// times a second: the percentage when asked, else an animation advancing 5 a
// tick. The end is noticed at once (a script waits no longer than the work).
// Ctrl-C during the wait cancels the worker (a conversion stops
// between two records).
WorkerOutcome TerminalUserInterface::runWithProgress(WorkerJob& job, bool showPercentage) {
  if (!job.start()) return WorkerOutcome::NotStarted;
  const bool terminal = ::isatty(STDERR_FILENO) == 1;
  interrupted = 0;
  auto hook = std::make_unique<platform::InterruptHook>(false, onInterrupt);
  WorkerOutcome outcome = WorkerOutcome::Finished;
  // The end wakes the wait at once; Ctrl-C is looked at between two waits.
  constexpr auto kCheck = std::chrono::milliseconds(10);
  constexpr int kChecksPerTick = 10;  // 100 ms
  for (int check = 0;; ++check) {
    if (terminal && check % kChecksPerTick == 0) {
      if (!showPercentage) animation = animation + 5 > 100 ? 0 : animation + 5;
      drawBar(showPercentage ? job.progress() : animation, showPercentage);
    }
    if (job.isFinished()) break;
    if (interrupted != 0) {
      job.cancel();
      outcome = WorkerOutcome::Cancelled;
      break;
    }
    job.waitUntilFinished(kCheck);
  }
  hook.reset();
  if (terminal) clearBar();
  return outcome;
}

}  // namespace tavex
