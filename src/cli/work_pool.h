// A fixed number of threads working through the items 0 .. count-1 in order, each
// item on one thread. Stopping (the flag turned true) lets the items in flight
// finish and starts no other.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>

namespace tavex::cli {

// Runs `work(i)` for the items, taken in order of i, on up to `threads` (>= 1)
// threads; once `stop` is true no item is taken (the caller knows which ran).
// `work` must not throw.
void runOnPool(std::size_t count, unsigned threads, const std::atomic<bool>& stop,
                      const std::function<void(std::size_t)>& work);

}  // namespace tavex::cli
