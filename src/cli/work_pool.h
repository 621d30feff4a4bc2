// A fixed number of threads working through the items 0 .. count-1 in order, each
// item on one thread. Stopping (the flag turned true) lets the items in flight
// finish and starts no other.
#pragma once


#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace tavex::cli {

// Runs `work(i)` for the items, taken in order of i, on up to `threads` (>= 1)
// threads; once `stop` is true no item is taken (the caller knows which ran).
// A thread the system refuses (a process or thread limit) is done without: the
// items run on the threads that started, the calling thread always one of them.
// `work` must not throw.
void runOnPool(std::size_t count, unsigned threads, const std::atomic<bool>& stop,
               const std::function<void(std::size_t)>& work);

// How the pool starts a thread; throws std::system_error when it cannot. Tests put
// a starter that refuses here; an empty function restores std::thread.
using ThreadStarter = std::function<std::thread(std::function<void()>)>;
void setThreadStarter(ThreadStarter starter);

// Ctrl-C, SIGTERM or SIGHUP during a batch, for the life of the object: the flag
// turns true, no file is taken any more and the ones in flight finish. A second
// signal ends the program at once, by the signal's usual action: a log still
// being made never took its name (the previous log stays whole; an empty file
// that held the name for it is removed, its temporary file by the next run on
// it), so that a log is whole or absent, never cut.
// One at a time; `logPaths` holds the log of every item of the batch.
class BatchInterrupt {
 public:
  explicit BatchInterrupt(std::vector<std::string> logPaths = {});
  ~BatchInterrupt();
  BatchInterrupt(const BatchInterrupt&) = delete;
  BatchInterrupt& operator=(const BatchInterrupt&) = delete;

  const std::atomic<bool>& stopped() const;

  // Where item i's run is: begun (its log may be in the making), its log created
  // (being written), finished (its log whole). Called by the thread running it.
  void starting(std::size_t i);
  void logCreated(std::size_t i);
  void finished(std::size_t i);

  // What the signal handler reads: set up before it is installed, kept until after.
  enum class LogState : unsigned char { Idle, Starting, Writing };
  struct Logs {
    std::vector<std::string> paths;
    std::unique_ptr<std::atomic<LogState>[]> states;
  };

 private:
  Logs logs_;
  std::unique_ptr<platform::InterruptHook> hook_;
};

}  // namespace tavex::cli
