#include "cli/work_pool.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace tavex::cli {

namespace {

std::atomic<bool> g_stopBatch{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void stopBatchOnSignal(int) { g_stopBatch.store(true); }

}  // namespace

BatchInterrupt::BatchInterrupt() {
  g_stopBatch.store(false);
  struct sigaction action {};
  action.sa_handler = stopBatchOnSignal;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  installed_ = ::sigaction(SIGINT, &action, &previous_) == 0;
}

BatchInterrupt::~BatchInterrupt() {
  if (installed_) ::sigaction(SIGINT, &previous_, nullptr);
}

const std::atomic<bool>& BatchInterrupt::stopped() const { return g_stopBatch; }

void runOnPool(std::size_t count, unsigned threads, const std::atomic<bool>& stop,
                      const std::function<void(std::size_t)>& work) {
  std::atomic<std::size_t> next{0};
  const auto loop = [&] {
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
  for (unsigned t = 1; t < n; ++t) pool.emplace_back(loop);
  loop();  // the calling thread is one of them
  for (std::thread& t : pool) t.join();
}

}  // namespace tavex::cli
