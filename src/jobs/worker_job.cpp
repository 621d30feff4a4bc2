#include "jobs/worker_job.h"

#include <algorithm>
#include <condition_variable>
#include <system_error>
#include <utility>

#include "cotepe/text.h"

namespace tavex {

// The state of one start, co-owned by the job and its worker thread so that an
// abandoned worker never writes into the state of a later run.
struct WorkerJob::Run {
  std::atomic<bool> finished{false};
  std::atomic<bool> stopped{false};  // the procedure has returned
  std::atomic<bool> cancelRequested{false};
  std::atomic<int> progress{0};
  int status = 0;  // written before `finished` (release), read after it (acquire)
  std::mutex noticesMutex;
  std::vector<WorkerNotice> notices;
  std::mutex finishMutex;  // with `finishedSignal`, wakes a display waiting in waitUntilFinished
  std::condition_variable finishedSignal;
};

WorkerContext::WorkerContext(std::shared_ptr<WorkerJob::Run> run, std::string inputPath,
                             std::vector<std::string> arguments)
    : run_(std::move(run)), inputPath_(std::move(inputPath)), arguments_(std::move(arguments)) {}

bool WorkerContext::cancelRequested() const { return run_->cancelRequested.load(std::memory_order_relaxed); }

void WorkerContext::setProgress(int percent) {
  run_->progress.store(std::clamp(percent, 0, 100), std::memory_order_relaxed);
}

void WorkerContext::notify(WorkerNotice notice) {
  std::lock_guard lock(run_->noticesMutex);
  run_->notices.push_back(std::move(notice));
}

void WorkerContext::finish(int status) {
  run_->status = status;
  {
    std::lock_guard lock(run_->finishMutex);  // a waiter between its test and its sleep still hears it
    run_->finished.store(true, std::memory_order_release);
  }
  run_->finishedSignal.notify_all();
}

WorkerJob::~WorkerJob() {
  if (!thread_.joinable()) return;
  if (threadMode_ == CancelMode::Cooperative || run_->stopped.load(std::memory_order_acquire)) {
    run_->cancelRequested.store(true, std::memory_order_relaxed);
    thread_.join();
  } else {
    thread_.detach();
  }
}

void WorkerJob::prepare(WorkerProcedure procedure, CancelMode mode, std::function<void()> onCancel) {
  procedure_ = std::move(procedure);
  mode_ = mode;
  onCancel_ = std::move(onCancel);
}

bool WorkerJob::start() {
  if (!procedure_) return false;
  if (thread_.joinable()) {
    // The previous worker (started in its own mode, whatever was prepared since):
    // gone (join it), finished and about to return (a cooperative one: join it),
    // or still inside a library call after publishing its result (let it go: it
    // holds what it needs). A cooperative worker still running is a caller error.
    const bool stopped = run_->stopped.load(std::memory_order_acquire);
    const bool finished = run_->finished.load(std::memory_order_acquire);
    if (stopped || (finished && threadMode_ == CancelMode::Cooperative)) {
      thread_.join();
    } else if (threadMode_ == CancelMode::Abandon) {
      thread_.detach();
      letGo(run_);
    } else {
      return false;
    }
  }
  auto run = std::make_shared<Run>();
  try {
    // The procedure goes to the thread alone: whatever it holds (a loaded library)
    // lives exactly as long as the worker needs it.
    thread_ = std::thread([run, procedure = std::move(procedure_), input = inputPath, args = arguments]() mutable {
      WorkerContext context(run, std::move(input), std::move(args));
      procedure(context);
      run->stopped.store(true, std::memory_order_release);
    });
  } catch (const std::system_error&) {
    return false;
  }
  run_ = std::move(run);
  threadMode_ = mode_;
  return true;
}

bool WorkerJob::isFinished() const { return run_ != nullptr && run_->finished.load(std::memory_order_acquire); }

bool WorkerJob::waitUntilFinished(std::chrono::milliseconds limit) const {
  if (run_ == nullptr) return false;
  std::unique_lock lock(run_->finishMutex);
  return run_->finishedSignal.wait_for(lock, limit,
                                       [&] { return run_->finished.load(std::memory_order_acquire); });
}

int WorkerJob::progress() const { return run_ != nullptr ? run_->progress.load(std::memory_order_relaxed) : 0; }

int WorkerJob::status() const { return run_ != nullptr ? run_->status : 0; }

std::vector<WorkerNotice> WorkerJob::takeNotices() {
  if (run_ == nullptr) return {};
  std::lock_guard lock(run_->noticesMutex);
  return std::exchange(run_->notices, {});
}

void WorkerJob::cancel() {
  if (run_ == nullptr) return;
  if (onCancel_) onCancel_();
  run_->cancelRequested.store(true, std::memory_order_relaxed);
  if (!thread_.joinable()) return;
  if (threadMode_ == CancelMode::Cooperative) {
    thread_.join();
  } else if (run_->stopped.load(std::memory_order_acquire)) {
    thread_.join();
  } else {
    // Abandoned: forget this run, so nothing the worker does later is seen.
    thread_.detach();
    letGo(std::exchange(run_, std::make_shared<Run>()));
  }
}

namespace {

template <typename Run>
bool stillRunning(const std::shared_ptr<Run>& run) {
  return run != nullptr && !run->stopped.load(std::memory_order_acquire);
}

}  // namespace

void WorkerJob::letGo(std::shared_ptr<Run> run) {
  std::erase_if(leftRunning_, [](const std::shared_ptr<Run>& r) { return !stillRunning(r); });
  leftRunning_.push_back(std::move(run));
}

bool WorkerJob::earlierWorkerRunning() const {
  return (thread_.joinable() && stillRunning(run_)) ||
         std::any_of(leftRunning_.begin(), leftRunning_.end(), [](const auto& r) { return stillRunning(r); });
}

bool WorkerJob::waitForEarlierWorker(std::chrono::milliseconds limit) const {
  // Polling: this waits a moment at most, and only when a library call is slow.
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (earlierWorkerRunning()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

void WorkerJob::waitForThread() {
  if (thread_.joinable() && (threadMode_ == CancelMode::Cooperative || run_->stopped.load(std::memory_order_acquire)))
    thread_.join();
}

WorkerOutcome runOnWorker(UserInterface& ui, WorkerJob& job, WorkerProcedure procedure, bool showPercentage,
                          CancelMode mode, std::function<void()> onCancel) {
  job.prepare(std::move(procedure), mode, std::move(onCancel));
  const WorkerOutcome outcome = ui.runWithProgress(job, showPercentage);
  if (outcome == WorkerOutcome::NotStarted) {
    ui.showMessage("Erro de inicialização da thread!"_cp, "Erro!", Icon::Error);
    return outcome;
  }
  if (outcome == WorkerOutcome::Finished) job.waitForThread();
  for (const WorkerNotice& n : job.takeNotices()) ui.showMessage(n.text, n.title, n.icon);
  return outcome;
}

}  // namespace tavex
