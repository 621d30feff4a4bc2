#include "cli/work_pool.h"

#include <algorithm>
#include <system_error>
#include <vector>

namespace tavex::cli {

namespace {

ThreadStarter& threadStarter() {
  static ThreadStarter starter;
  return starter;
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

}  // namespace tavex::cli
