// The worker: one program-wide WorkerJob shared between a command (on the
// user-interface thread) and the one worker thread that does its long work
// (conversions, printer downloads) while a modal progress display waits.
//
// Who writes what:
//  - the command sets the procedure and the argument texts before the start;
//  - the worker writes status, progress and notices, then publishes `finished`
//    with release order; the interface reads `finished` with acquire order and
//    only then reads `status`;
//  - the interface may request cancellation at any time.
//
// Every start makes a fresh run state that the worker thread co-owns. A worker
// that is abandoned (a printer worker blocked in a library call) keeps writing
// into its own, forgotten run state: nothing it does afterwards is visible to
// the interface, and it holds no lock the interface needs. The job still knows
// whether such a worker, or one that published its result and is still closing
// the library, has left its procedure (earlierWorkerRunning): the interface never
// joins a worker that has not.
//
// Thread rules: start, cancel, isFinished, progress, status and takeNotices are
// called from the interface thread; the procedure runs on the worker thread and
// talks back only through its WorkerContext.
//
// A progress display (UserInterface::runWithProgress) calls start() (false:
// NotStarted), then polls isFinished() and progress() until the worker finished
// (Finished) or the user cancels, when it calls cancel() (Cancelled). runOnWorker
// then shows the worker's notices and the command reads status().
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "port/user_interface.h"

namespace tavex {

// A message box the worker wants shown (text and title in cp1252). The
// interface shows these in the order they were raised.
struct WorkerNotice {
  std::string text;
  std::string title;
  Icon icon = Icon::Error;
};

// What a long operation sees of the worker: cancellation requests, progress and
// messages. Conversions take this interface so they can be driven by a test as
// well as by the worker.
class WorkerControl {
 public:
  virtual ~WorkerControl() = default;
  // True once the user asked to stop; a conversion stops between two records.
  virtual bool cancelRequested() const = 0;
  // Percentage of the input consumed, 0..100 (clamped).
  virtual void setProgress(int percent) = 0;
  // A message box to show to the user.
  virtual void notify(WorkerNotice notice) = 0;
};

// How a run that the user cancels is stopped.
enum class CancelMode {
  // The worker checks cancelRequested between records and returns; cancel()
  // waits until it has (every file it wrote is whole and closed).
  Cooperative,
  // The worker is abandoned where it stands (a blocked library call); cancel()
  // does not wait for it. Its later steps are invisible.
  Abandon,
};

class WorkerContext;
using WorkerProcedure = std::function<void(WorkerContext&)>;

class WorkerJob {
 public:
  WorkerJob() = default;
  ~WorkerJob();  // waits for a cooperative worker (cancelling it), abandons any other
  WorkerJob(const WorkerJob&) = delete;
  WorkerJob& operator=(const WorkerJob&) = delete;

  // Argument texts, written by the command before the start and read by the
  // worker procedure (a procedure may also capture its arguments).
  std::string inputPath;
  std::vector<std::string> arguments;

  // The procedure of the next start, how cancelling stops it, and an optional
  // action run on the interface thread when the user cancels, before the
  // worker is halted (a printer command closes the library there).
  void prepare(WorkerProcedure procedure, CancelMode mode, std::function<void()> onCancel = {});

  // Clears `finished` and starts the prepared procedure on a new thread, which
  // takes the procedure over (prepare again before the next start). An earlier
  // abandonable worker that is still running is left to itself (never joined).
  // False when no procedure is prepared, a previous worker still runs
  // cooperatively, or the platform refuses the thread.
  bool start();

  // True while a worker of an earlier start has not left its procedure: one that
  // published its result and is still inside a library call (a Close that does
  // not return), or one that was abandoned. Meaningful between runs.
  bool earlierWorkerRunning() const;
  // Waits at most `limit` until earlierWorkerRunning() is false; returns it negated.
  bool waitForEarlierWorker(std::chrono::milliseconds limit) const;

  // The worker has published its result (acquire).
  bool isFinished() const;
  // Sleeps until the worker publishes its result or `limit` passes; answers
  // isFinished(). A display waits here instead of polling.
  bool waitUntilFinished(std::chrono::milliseconds limit) const;
  // The latest progress, 0..100 (a tear-free read).
  int progress() const;
  // The worker's status. Meaningful once isFinished() was seen true.
  int status() const;
  // The notices raised since the last call, in order.
  std::vector<WorkerNotice> takeNotices();

  // The user cancelled: runs the onCancel action, then either waits for a
  // cooperative worker to stop or abandons the worker.
  void cancel();

  // Waits for a cooperative worker that has finished or stopped to leave its
  // thread. Used by displays that close on `finished` before joining.
  void waitForThread();

 private:
  friend class WorkerContext;
  struct Run;

  WorkerProcedure procedure_;
  CancelMode mode_ = CancelMode::Cooperative;        // of the prepared procedure
  CancelMode threadMode_ = CancelMode::Cooperative;  // of the worker in thread_
  std::function<void()> onCancel_;
  std::shared_ptr<Run> run_;
  std::thread thread_;
  std::vector<std::shared_ptr<Run>> leftRunning_;  // workers let go while still running
  void letGo(std::shared_ptr<Run> run);
};

// The worker's side of one run. Passed to the procedure; valid during it.
class WorkerContext final : public WorkerControl {
 public:
  bool cancelRequested() const override;
  void setProgress(int percent) override;
  void notify(WorkerNotice notice) override;

  // Publishes `status` and then `finished` (release). A procedure calls it as
  // its last act, or leaves `finished` clear (the display then waits for the
  // user to cancel). A cooperative procedure that stops for a cancellation
  // does not call it.
  void finish(int status);

  // The job's argument texts, as the command left them before the start.
  const std::string& inputPath() const { return inputPath_; }
  const std::vector<std::string>& arguments() const { return arguments_; }

 private:
  friend class WorkerJob;
  WorkerContext(std::shared_ptr<WorkerJob::Run> run, std::string inputPath, std::vector<std::string> arguments);
  std::shared_ptr<WorkerJob::Run> run_;
  std::string inputPath_;
  std::vector<std::string> arguments_;
};

// Runs `procedure` on the worker through the interface's progress display.
// NotStarted: "Erro de inicialização da thread!" has been shown. Finished: the
// command reads job.status(). Cancelled: nothing more is shown. In every case
// but NotStarted, the notices the worker raised are shown first, in order.
WorkerOutcome runOnWorker(UserInterface& ui, WorkerJob& job, WorkerProcedure procedure, bool showPercentage,
                          CancelMode mode = CancelMode::Cooperative, std::function<void()> onCancel = {});

// A WorkerControl that never cancels and keeps its notices: for running a
// conversion synchronously (benchmarks, tools, tests).
class DirectWorkerControl : public WorkerControl {
 public:
  bool cancelRequested() const override { return false; }
  void setProgress(int percent) override { progress = percent; }
  void notify(WorkerNotice notice) override { notices.push_back(std::move(notice)); }
  int progress = 0;
  std::vector<WorkerNotice> notices;
};

}  // namespace tavex
