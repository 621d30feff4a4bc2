#include "cli/work_pool.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace tavex::cli {

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
