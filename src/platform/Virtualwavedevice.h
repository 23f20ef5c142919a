#pragma once
// What the in-memory sound devices share: a clock thread that moves the device on at a chosen speed
// (real time, a multiple of it, as fast as the buffers allow, or only when stepped by hand), injectable
// failures of every operation, the state and queue handling of both directions, and the lock that guards
// them. The clock thread and Step call the done callback while holding that lock, which is why a done
// callback must never call the device.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/Wavedevice.h"

namespace vowelscope {

enum class WaveOperation : int { Open, Close, Prepare, Unprepare, Queue, Start, Stop, Reset, Position, kCount };

class VirtualWaveDevice {
 public:
  static constexpr double kAsFastAsPossible = 0.0;

  virtual ~VirtualWaveDevice();
  VirtualWaveDevice(const VirtualWaveDevice&) = delete;
  VirtualWaveDevice& operator=(const VirtualWaveDevice&) = delete;

  // 1 = real time, 4 = four times as fast, kAsFastAsPossible = as fast as buffers are queued.
  void SetSpeed(double factor);
  // The clock stands still; only Step moves the device.
  void SetManual();
  // Moves the device on by up to `frames` on the caller's thread; returns the frames it moved.
  // Stops early when there is nothing to fill or play.
  unsigned Step(unsigned frames);

  // The call of `op` after the next `skip` ones fails, and so do the `count` − 1 calls after it.
  // A failed Close still closes (the owner cannot do more than retry), every other failed call changes nothing.
  void InjectFailure(WaveOperation op, unsigned skip = 0, unsigned count = 1);
  void ClearFailures();
  // Calls of `op` so far, failed ones included.
  unsigned CallCount(WaveOperation op) const;

 protected:
  VirtualWaveDevice();

  // Counts the call and tells whether it is to fail. Call with `lock` held.
  bool Fails(WaveOperation op);
  // Moves the device on by up to `frames`; returns the frames moved (0 when idle). Called with `lock` held.
  virtual unsigned Advance(unsigned frames) = 0;

  // The parts of the device operations both directions share; call them with `lock` held.
  bool OpenDevice(const WaveDeviceFormat& format, WaveDoneCallback callback, void* instance);
  // Closes and drops the queue without handing it back; false when the call failed or buffers were dropped.
  bool CloseDevice();
  bool PrepareBuffer(WaveHeader& header);
  bool UnprepareBuffer(WaveHeader& header);
  // Whether a Queue call may take `header`; Enqueue then marks it held and appends it to the queue.
  bool CanQueue(const WaveHeader& header);
  void Enqueue(WaveHeader& header);
  void HandBack(WaveHeader* header);
  // Wakes the clock after a change that may give it work (open, queue, start). Call with `lock` held.
  void Poke();
  // Start and end the clock thread: a derived constructor calls StartClock last and its destructor calls
  // StopClock first, so Advance and FrameRate never run on a half-built or half-destroyed object.
  void StartClock();
  void StopClock();

  mutable std::mutex lock;
  // Device state, guarded by `lock`.
  bool open = false;
  WaveDeviceFormat format;
  WaveDoneCallback callback = nullptr;
  void* instance = nullptr;
  WaveHeader* first = nullptr;  // the queue, served from the front
  WaveHeader* last = nullptr;
  uint32_t position = 0;  // what GetPosition reports

 private:
  // Frames per second of the open device, 0 when closed.
  uint32_t FrameRate() const { return open ? format.samplesPerSec : 0; }

  struct Failure {
    unsigned skip = 0;
    unsigned count = 0;
  };

  void ClockThread();

  std::condition_variable wake;
  std::thread clock;
  bool quit = false;
  bool manual = false;
  double speed = 1.0;
  uint64_t changes = 0;  // bumps on every speed change, so the clock restarts its reckoning
  Failure failures[static_cast<int>(WaveOperation::kCount)];
  unsigned calls[static_cast<int>(WaveOperation::kCount)] = {};
};

}  // namespace vowelscope
