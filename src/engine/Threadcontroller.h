#pragma once
// Runs one job at a time on a worker thread for an owner object. The job runs on the worker thread;
// every other operation belongs to the owner's thread, except Post, which any thread may call.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

namespace vowelscope {

class ThreadController {
 public:
  using Job = void (*)(ThreadController* controller);
  // A call handed to the owner's thread: Wait runs it there.
  using PostedFunction = void (*)(void* argument);

  static constexpr uint32_t INFINITE = 0xFFFFFFFFu;

  ThreadController();
  // Waits for a running job to end (dispatching posted calls meanwhile).
  virtual ~ThreadController();
  ThreadController(const ThreadController&) = delete;
  ThreadController& operator=(const ThreadController&) = delete;

  // The owner sets this before Run; the job reads it to find its owner.
  void SetUserData(void* data) { userData = data; }
  void* GetUserData() const { return userData; }

  // Starts job on a new thread. False for a null job, while a job runs, or when no thread could be
  // started. A finished job's thread is released first.
  bool Run(Job job);

  // Whether the thread of the last successful Run is still executing its job.
  bool IsRunning() const;

  // Until the job has ended or timeoutMs has passed (INFINITE: no limit), runs the posted calls on
  // this thread as they arrive. When the job has ended, the calls still queued are run before
  // returning. Returns at once when there is no thread.
  void Wait(uint32_t timeoutMs);

  // Releases the thread of a finished job. A job that is still running keeps its thread, so that
  // destruction still waits for it.
  void CloseThread();

  // Queues function(argument) for the owner's thread; a null function is taken off the queue without
  // effect. Calls still queued when the controller is destroyed are dropped.
  void Post(PostedFunction function, void* argument);

 private:
  struct PostedCall {
    PostedFunction function;
    void* argument;
  };

  static void ThreadProcedure(ThreadController* controller);
  // Runs the first queued call, if any, with the lock released while it runs.
  bool DispatchOne(std::unique_lock<std::mutex>& lock);

  std::thread threadHandle;
  void* userData = nullptr;
  Job job = nullptr;

  mutable std::mutex mutex;
  std::condition_variable wake;  // a call was posted or the job ended
  std::deque<PostedCall> posted;
  bool jobEnded = true;
};

}  // namespace vowelscope
