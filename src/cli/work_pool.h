// A fixed number of threads working through the items 0 .. count-1 in order, each
// item on one thread. Stopping (the flag turned true) lets the items in flight
// finish and starts no other.
#pragma once

#include <signal.h>

#include <atomic>
#include <cstddef>
#include <functional>

namespace tavex::cli {

// Runs `work(i)` for the items, taken in order of i, on up to `threads` (>= 1)
// threads; once `stop` is true no item is taken (the caller knows which ran).
// `work` must not throw.
void runOnPool(std::size_t count, unsigned threads, const std::atomic<bool>& stop,
                      const std::function<void(std::size_t)>& work);

// Ctrl-C during a batch, for the life of the object: the flag turns true, no file
// is taken any more and the ones in flight finish; a second Ctrl-C ends the
// program as usual. One at a time.
class BatchInterrupt {
 public:
  BatchInterrupt();
  ~BatchInterrupt();
  BatchInterrupt(const BatchInterrupt&) = delete;
  BatchInterrupt& operator=(const BatchInterrupt&) = delete;

  const std::atomic<bool>& stopped() const;

 private:
  struct sigaction previous_ {};
  bool installed_ = false;
};

}  // namespace tavex::cli
