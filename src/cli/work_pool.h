// A fixed number of threads working through the items 0 .. count-1 in order, each
// item on one thread. Stopping (the flag turned true) lets the items in flight
// finish and starts no other.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <thread>

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

}  // namespace tavex::cli
