// The validations the browser workbench runs: a fixed number of worker threads
// taking tasks from a bounded queue, each task the window's own validation of one
// file (MainDialog::validateNow), its progress the share of the file read so far.
// The results of the last few files validated are kept for the pages to page
// through, as many as `keptResults` and no more than `keptBytes` of them (the
// newest is kept whatever its size); older ones are dropped, so memory stays
// bounded whatever the number of files or of findings.
//
// Cancelling a queued task removes it; a running one is abandoned: it still writes
// its whole log (as the window's cancelled validation does) but its results are
// dropped and the task reads "cancelled" at once. The destructor cancels every
// task and waits for the running ones. All members may be called from any thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cotepe/line_index.h"
#include "window/main_dialog.h"

namespace tavex::server {

// One validated file, never changed once made.
struct FileResults {
  std::string name;  // as the folder names it
  std::string path;
  bool formatOnly = false;
  std::uintmax_t size = 0;
  std::filesystem::file_time_type changed;
  MainDialog::ValidationResults run;
  LineIndex index;       // of the bytes the run read (the whole file when run.ran)
  std::string messages;  // UTF-8: what the validation said when it could not run
  double seconds = 0;
  std::size_t bytes = 0;  // about the memory these results take
};

enum class TaskState { Queued, Running, Done, Cancelled, Failed };

struct TaskView {
  TaskState state = TaskState::Queued;
  std::string name;
  double progress = 0;   // 0..1
  std::string problem;   // UTF-8, for Failed
};

class ValidationPool {
 public:
  ValidationPool(unsigned workers, std::size_t keptResults, std::size_t maxQueued,
                 std::size_t keptBytes = std::size_t(256) << 20);
  ~ValidationPool();
  ValidationPool(const ValidationPool&) = delete;
  ValidationPool& operator=(const ValidationPool&) = delete;

  // Queues the validation of `path` (named `name`); the same file already queued or
  // running with the same settings gives that task. Nothing when the queue is full.
  std::optional<std::uint64_t> submit(const std::string& name, const std::string& path, std::int64_t toleranceCents,
                                      bool formatOnly);
  std::optional<TaskView> task(std::uint64_t id) const;
  // False for an unknown task or one already over.
  bool cancel(std::uint64_t id);
  // The last results of `name`, when the file has not changed since.
  std::shared_ptr<const FileResults> results(const std::string& name) const;

 private:
  struct Task {
    std::uint64_t id = 0;
    std::string name, path;
    std::int64_t tolerance = 0;
    bool formatOnly = false;
    TaskState state = TaskState::Queued;
    std::atomic<std::uint64_t> read{0};
    std::uint64_t size = 1;
    std::string problem;
    std::atomic<bool> cancelled{false};
  };
  void work();
  void run(const std::shared_ptr<Task>& task);
  void forgetOldTasks();  // under mutex_

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::shared_ptr<Task>> queue_;
  std::map<std::uint64_t, std::shared_ptr<Task>> tasks_;
  std::list<std::shared_ptr<const FileResults>> kept_;  // most recent first
  std::size_t keptResults_, maxQueued_, keptBytes_;
  std::uint64_t nextId_ = 1;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace tavex::server
