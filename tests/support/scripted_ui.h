// A UserInterface for tests: choosers answer from a queue, every message box is
// recorded (text, title, icon) so a test can assert the exact box a user would see.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <thread>
#include <optional>
#include <string>
#include <vector>

#include "printer/worker_job.h"
#include "ui/user_interface.h"

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

  std::vector<ShownMessage> messages;
  std::vector<OpenFileRequest> openRequests;
  std::vector<std::string> folderTitles;

 private:
  std::optional<std::string> next() {
    if (answers_.empty()) return std::nullopt;
    auto a = std::move(answers_.front());
    answers_.pop_front();
    return a;
  }
  std::deque<std::optional<std::string>> answers_;
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
