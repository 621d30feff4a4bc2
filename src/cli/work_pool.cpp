#include "cli/work_pool.h"

#include <algorithm>
#include <system_error>

#include "platform/platform.h"

namespace tavex::cli {

namespace {

ThreadStarter& threadStarter() {
  static ThreadStarter starter;
  return starter;
}

std::atomic<bool> g_stopBatch{false};
static_assert(std::atomic<bool>::is_always_lock_free);
std::atomic<const BatchInterrupt::Logs*> g_batchLogs{nullptr};
static_assert(std::atomic<const BatchInterrupt::Logs*>::is_always_lock_free);
static_assert(std::atomic<BatchInterrupt::LogState>::is_always_lock_free);

extern "C" void stopBatchOnSignal(int signal) {
  if (!g_stopBatch.exchange(true)) return;
  using State = BatchInterrupt::LogState;
  if (const BatchInterrupt::Logs* logs = g_batchLogs.load())
    for (std::size_t i = 0; i < logs->paths.size(); ++i)
      if (logs->states[i].load() != State::Idle) {
        // A log being made is written beside its name, which holds the previous
        // log (left whole) or the empty file the run made to hold the name.
        platform::FileInfo st;
        if (platform::pathInfo(logs->paths[i], st) && st.regular && st.size == 0) platform::removeFile(logs->paths[i]);
      }
  platform::endAsInterrupted(signal);
}

}  // namespace

void setThreadStarter(ThreadStarter starter) { threadStarter() = std::move(starter); }

void runOnPool(std::size_t count, unsigned threads, const std::atomic<bool>& stop,
               const std::function<void(std::size_t)>& work) {
  std::atomic<std::size_t> next{0};
  const std::function<void()> loop = [&] {
    for (;;) {
      if (stop.load()) return;
      const std::size_t i = next.fetch_add(1);
      if (i >= count) return;
      if (stop.load()) return;  // the flag may have turned between the two reads: item i is not taken
      work(i);
    }
  };
  const unsigned n = static_cast<unsigned>(std::min<std::size_t>(std::max(1u, threads), std::max<std::size_t>(count, 1)));
  std::vector<std::thread> pool;
  pool.reserve(n - 1);
  for (unsigned t = 1; t < n; ++t) {
    try {
      pool.push_back(threadStarter() ? threadStarter()(loop) : std::thread(loop));
    } catch (const std::system_error&) {
      break;  // no more threads to be had: the ones running (and this one) do the work
    }
  }
  loop();  // the calling thread is one of them
  for (std::thread& t : pool) t.join();
}

BatchInterrupt::BatchInterrupt(std::vector<std::string> logPaths) {
  logs_.paths = std::move(logPaths);
  logs_.states = std::make_unique<std::atomic<LogState>[]>(logs_.paths.size());
  g_stopBatch.store(false);
  g_batchLogs.store(&logs_);
  hook_ = std::make_unique<platform::InterruptHook>(true, stopBatchOnSignal);
}

BatchInterrupt::~BatchInterrupt() {
  hook_.reset();
  g_batchLogs.store(nullptr);
}

const std::atomic<bool>& BatchInterrupt::stopped() const { return g_stopBatch; }

void BatchInterrupt::starting(std::size_t i) {
  if (i < logs_.paths.size()) logs_.states[i].store(LogState::Starting);
}
void BatchInterrupt::logCreated(std::size_t i) {
  if (i < logs_.paths.size()) logs_.states[i].store(LogState::Writing);
}
void BatchInterrupt::finished(std::size_t i) {
  if (i < logs_.paths.size()) logs_.states[i].store(LogState::Idle);
}

}  // namespace tavex::cli
