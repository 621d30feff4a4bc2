// A UserInterface for tests: choosers answer from a queue, every message box is
// recorded (text, title, icon) so a test can assert the exact box a user would see.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <thread>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "jobs/worker_job.h"
#include "port/user_interface.h"
#include "window/period_dialog_state.h"

namespace tavex::testing {

struct ShownMessage {
  std::string text;  // cp1252
  std::string title;
  Icon icon;
  bool operator==(const ShownMessage&) const = default;
};

class ScriptedUserInterface : public UserInterface {
 public:
  // The next chooser returns `path`; std::nullopt stands for the user cancelling.
  void answer(std::optional<std::string> path) { answers_.push_back(std::move(path)); }

  // How runWithProgress behaves; by default it reports NotStarted. Tests of the
  // conversions install a handler that runs or cancels the job.
  std::function<WorkerOutcome(WorkerJob&, bool)> progressHandler;

  // What the user does in the next period dialog: each attempt types into boxes,
  // clicks a choice (when given) and ticks "Simplificada", then presses "OK"
  // (a failed check shows its message and the next attempt follows) or "Cancel".
  // Attempts used up, or no script queued, cancel the dialog.
  struct PeriodAttempt {
    std::optional<int> click{};
    std::vector<std::pair<PeriodField, std::string>> typed{};
    std::optional<bool> simplified{};
    bool ok = true;
  };
  void answerPeriod(std::vector<PeriodAttempt> attempts) { periodScripts_.push_back(std::move(attempts)); }

  void showMessage(std::string_view text, std::string_view title, Icon icon) override {
    messages.push_back({std::string(text), std::string(title), icon});
  }
  std::optional<std::string> chooseOpenFile(const OpenFileRequest& request) override {
    openRequests.push_back(request);
    return next();
  }
  std::optional<std::string> chooseFolder(std::string_view title) override {
    folderTitles.emplace_back(title);
    return next();
  }
  WorkerOutcome runWithProgress(WorkerJob& job, bool showPercentage) override {
    return progressHandler ? progressHandler(job, showPercentage) : WorkerOutcome::NotStarted;
  }
  std::optional<PeriodAnswer> askPeriod(const PeriodDialogDescription& dialog) override {
    periodDialogs.push_back(dialog);
    if (periodScripts_.empty()) return std::nullopt;
    std::vector<PeriodAttempt> attempts = std::move(periodScripts_.front());
    periodScripts_.pop_front();
    PeriodDialogState state(dialog);
    for (const PeriodAttempt& a : attempts) {
      for (const auto& [field, text] : a.typed) state.typeInto(field, text);
      if (a.click) state.selectChoice(*a.click);
      if (a.simplified) state.setSimplified(*a.simplified);
      if (!a.ok) return std::nullopt;
      if (auto failed = state.accept()) {
        showMessage(*failed, "Erro!", Icon::Error);
        continue;
      }
      return state.answer();
    }
    return std::nullopt;
  }

  std::vector<ShownMessage> messages;
  std::vector<OpenFileRequest> openRequests;
  std::vector<std::string> folderTitles;
  std::vector<PeriodDialogDescription> periodDialogs;  // every period dialog shown, in order

 private:
  std::optional<std::string> next() {
    if (answers_.empty()) return std::nullopt;
    auto a = std::move(answers_.front());
    answers_.pop_front();
    return a;
  }
  std::deque<std::optional<std::string>> answers_;
  std::deque<std::vector<PeriodAttempt>> periodScripts_;
};

// progressHandler helpers. runJobToEnd starts the job and waits (polling, as the
// progress display does) until the worker finishes: Finished. cancelJobWhen starts
// the job and cancels it as soon as `when(job)` holds (checked before the first
// poll too, so a condition that is already true cancels at once): Cancelled, or
// Finished when the worker finished first. Both give up after a minute (Cancelled)
// so a worker that never finishes fails the test instead of hanging it.
inline WorkerOutcome runJobUntil(WorkerJob& job, const std::function<bool(const WorkerJob&)>& when) {
  if (!job.start()) return WorkerOutcome::NotStarted;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  for (;;) {
    if (when && when(job)) {
      job.cancel();
      return WorkerOutcome::Cancelled;
    }
    if (job.isFinished()) return WorkerOutcome::Finished;
    if (std::chrono::steady_clock::now() > deadline) {
      job.cancel();
      return WorkerOutcome::Cancelled;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

inline std::function<WorkerOutcome(WorkerJob&, bool)> runJobToEnd() {
  return [](WorkerJob& job, bool) { return runJobUntil(job, {}); };
}

inline std::function<WorkerOutcome(WorkerJob&, bool)> cancelJobWhen(std::function<bool(const WorkerJob&)> when) {
  return [when = std::move(when)](WorkerJob& job, bool) { return runJobUntil(job, when); };
}

}  // namespace tavex::testing
