#pragma once
// Named pipes for the tests of the special-file checks. A regression there blocks in open() for ever,
// so the call under test runs on a thread of its own with a time-out: past it, the test opens the
// pipe's other end, which lets the blocked open return, and reports the failure instead of hanging.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace vowelscope::fifotest {

inline bool MakeFifo(const std::string& path) {
  ::unlink(path.c_str());
  return ::mkfifo(path.c_str(), 0600) == 0;
}

// Opens both ends of the pipe once, which lets an open blocked on it return.
inline void ReleaseFifo(const std::string& fifo) {
  const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  if (writer >= 0) ::close(writer);
  if (reader >= 0) ::close(reader);
}

// For a call that must run on the test's own thread (a window command): past the time-out, a thread
// keeps releasing the pipe until the watchdog is destroyed. Fired() tells whether it had to.
class FifoWatchdog {
 public:
  explicit FifoWatchdog(std::string fifo, std::chrono::milliseconds limit = std::chrono::seconds(5))
      : fifo(std::move(fifo)), worker([this, limit] {
          std::unique_lock<std::mutex> hold(mutex);
          if (changed.wait_for(hold, limit, [this] { return done; })) return;
          fired = true;
          while (!changed.wait_for(hold, std::chrono::milliseconds(50), [this] { return done; })) ReleaseFifo(this->fifo);
        }) {}
  ~FifoWatchdog() {
    {
      std::lock_guard<std::mutex> hold(mutex);
      done = true;
    }
    changed.notify_all();
    worker.join();
  }
  bool Fired() const { return fired; }

 private:
  std::string fifo;
  std::mutex mutex;
  std::condition_variable changed;
  bool done = false;
  std::atomic<bool> fired{false};
  std::thread worker;
};

// Runs call (which returns what the test checks) with `fifo` as one of its files. Sets `returned`
// to whether it came back within the time-out by itself.
template <typename F>
auto RunAgainstFifo(const std::string& fifo, F&& call, bool& returned,
                    std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  auto done = std::async(std::launch::async, std::forward<F>(call));
  returned = done.wait_for(limit) == std::future_status::ready;
  while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) ReleaseFifo(fifo);
  return done.get();
}

}  // namespace vowelscope::fifotest
