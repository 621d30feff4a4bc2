// A UserInterface for tests: choosers answer from a queue, every message box is
// recorded (text, title, icon) so a test can assert the exact box a user would see.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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

}  // namespace tavex::testing
