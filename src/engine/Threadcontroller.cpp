#include "engine/Threadcontroller.h"

#include <chrono>
#include <system_error>

namespace vowelscope {

ThreadController::ThreadController() = default;

ThreadController::~ThreadController() {
  Wait(INFINITE);
  CloseThread();
}

void ThreadController::ThreadProcedure(ThreadController* controller) {
  controller->job(controller);
  std::lock_guard<std::mutex> lock(controller->mutex);
  controller->jobEnded = true;
  controller->wake.notify_all();
}

bool ThreadController::Run(Job newJob) {
  if (newJob == nullptr || IsRunning()) return false;
  CloseThread();
  job = newJob;
  {
    std::lock_guard<std::mutex> lock(mutex);
    jobEnded = false;
  }
  try {
    threadHandle = std::thread(&ThreadController::ThreadProcedure, this);
  } catch (const std::system_error&) {
    // No thread: the controller is idle again.
    std::lock_guard<std::mutex> lock(mutex);
    jobEnded = true;
    return false;
  }
  return true;
}

bool ThreadController::IsRunning() const {
  if (!threadHandle.joinable()) return false;
  std::lock_guard<std::mutex> lock(mutex);
  return !jobEnded;
}

bool ThreadController::DispatchOne(std::unique_lock<std::mutex>& lock) {
  if (posted.empty()) return false;
  const PostedCall call = posted.front();
  posted.pop_front();
  if (call.function != nullptr) {
    // Unlocked while it runs: the call may post again, and the job may post or end meanwhile.
    lock.unlock();
    call.function(call.argument);
    lock.lock();
  }
  return true;
}

void ThreadController::Wait(uint32_t timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  if (!threadHandle.joinable()) return;

  std::unique_lock<std::mutex> lock(mutex);
  const auto ready = [this] { return jobEnded || !posted.empty(); };
  for (;;) {
    if (timeoutMs == INFINITE) {
      wake.wait(lock, ready);
    } else if (!wake.wait_until(lock, deadline, ready)) {
      return;  // time is up
    }
    if (jobEnded) {
      // Whatever the job posted before it ended still reaches the owner.
      while (DispatchOne(lock)) {
      }
      return;
    }
    DispatchOne(lock);
    if (timeoutMs != INFINITE && Clock::now() >= deadline) return;
  }
}

void ThreadController::CloseThread() {
  if (!threadHandle.joinable() || IsRunning()) return;
  threadHandle.join();  // the job has returned; this only collects the thread
}

void ThreadController::Post(PostedFunction function, void* argument) {
  std::lock_guard<std::mutex> lock(mutex);
  posted.push_back(PostedCall{function, argument});
  wake.notify_all();
}

}  // namespace vowelscope
