#pragma once
// Named pipes for the tests of the special-file checks. A regression there blocks in open() for ever,
// so the call under test runs on a thread of its own with a time-out: past it, the test opens the
// pipe's other end, which lets the blocked open return, and reports the failure instead of hanging.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>
#include <utility>

namespace vowelscope::fifotest {

inline bool MakeFifo(const std::string& path) {
  ::unlink(path.c_str());
  return ::mkfifo(path.c_str(), 0600) == 0;
}

// Runs call (which returns what the test checks) with `fifo` as one of its files. Sets `returned`
// to whether it came back within the time-out by itself.
template <typename F>
auto RunAgainstFifo(const std::string& fifo, F&& call, bool& returned,
                    std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  auto done = std::async(std::launch::async, std::forward<F>(call));
  returned = done.wait_for(limit) == std::future_status::ready;
  while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
    // Both ends, so that an open for reading and one for writing are released alike.
    const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    if (writer >= 0) ::close(writer);
    if (reader >= 0) ::close(reader);
  }
  return done.get();
}

}  // namespace vowelscope::fifotest
