#include "platform/Virtualwavedevice.h"

#include <algorithm>

#include "platform/Waveheaderqueue.h"

namespace vowelscope {

namespace {
// Real-time clock granularity: small enough that positions move smoothly under a 10 ms timer.
constexpr auto kTick = std::chrono::milliseconds(2);
// Largest move of one step in the fastest mode, so that Stop and Reset get the lock between steps.
constexpr unsigned kFastChunk = 1024;

bool ValidFormat(const WaveDeviceFormat& f) {
  if (f.formatTag != 1 && f.formatTag != 3) return false;
  if (f.channels == 0 || f.samplesPerSec == 0 || f.bitsPerSample == 0) return false;
  return f.blockAlign == f.channels * ((f.bitsPerSample + 7) / 8);
}
}  // namespace

VirtualWaveDevice::VirtualWaveDevice() = default;

void VirtualWaveDevice::StartClock() { clock = std::thread([this] { ClockThread(); }); }

VirtualWaveDevice::~VirtualWaveDevice() { StopClock(); }

void VirtualWaveDevice::StopClock() {
  {
    std::lock_guard<std::mutex> guard(lock);
    quit = true;
  }
  wake.notify_all();
  if (clock.joinable()) clock.join();
}

void VirtualWaveDevice::SetSpeed(double factor) {
  std::lock_guard<std::mutex> guard(lock);
  manual = false;
  speed = factor > 0 ? factor : kAsFastAsPossible;
  ++changes;
  wake.notify_all();
}

void VirtualWaveDevice::SetManual() {
  std::lock_guard<std::mutex> guard(lock);
  manual = true;
  ++changes;
  wake.notify_all();
}

unsigned VirtualWaveDevice::Step(unsigned frames) {
  std::lock_guard<std::mutex> guard(lock);
  unsigned moved = 0;
  while (moved < frames) {
    unsigned n = Advance(frames - moved);
    if (n == 0) break;
    moved += n;
  }
  return moved;
}

void VirtualWaveDevice::InjectFailure(WaveOperation op, unsigned skip, unsigned count) {
  std::lock_guard<std::mutex> guard(lock);
  failures[static_cast<int>(op)] = Failure{skip, count};
}

void VirtualWaveDevice::ClearFailures() {
  std::lock_guard<std::mutex> guard(lock);
  for (auto& f : failures) f = Failure{};
}

unsigned VirtualWaveDevice::CallCount(WaveOperation op) const {
  std::lock_guard<std::mutex> guard(lock);
  return calls[static_cast<int>(op)];
}

bool VirtualWaveDevice::Fails(WaveOperation op) {
  int i = static_cast<int>(op);
  ++calls[i];
  Failure& f = failures[i];
  if (f.count == 0) return false;
  if (f.skip > 0) {
    --f.skip;
    return false;
  }
  --f.count;
  return true;
}

void VirtualWaveDevice::Poke() { wake.notify_all(); }

bool VirtualWaveDevice::OpenDevice(const WaveDeviceFormat& f, WaveDoneCallback cb, void* inst) {
  if (Fails(WaveOperation::Open) || open || !ValidFormat(f)) return false;
  format = f;
  callback = cb;
  instance = inst;
  open = true;
  position = 0;
  Poke();
  return true;
}

bool VirtualWaveDevice::CloseDevice() {
  bool failed = Fails(WaveOperation::Close);
  if (!open) return false;
  bool held = first != nullptr;
  // Dropped buffers are not handed back: the owner is closing and may free them right after.
  DropHeaders(first, last);
  open = false;
  callback = nullptr;
  instance = nullptr;
  return !failed && !held;
}

bool VirtualWaveDevice::PrepareBuffer(WaveHeader& header) {
  return !Fails(WaveOperation::Prepare) && open && PrepareHeader(header);
}

bool VirtualWaveDevice::UnprepareBuffer(WaveHeader& header) {
  return !Fails(WaveOperation::Unprepare) && UnprepareHeader(header);
}

bool VirtualWaveDevice::CanQueue(const WaveHeader& header) {
  return !Fails(WaveOperation::Queue) && open && CanQueueHeader(header);
}

void VirtualWaveDevice::Enqueue(WaveHeader& header) {
  MarkQueued(header);
  AppendHeader(first, last, &header);
  Poke();
}

void VirtualWaveDevice::HandBack(WaveHeader* header) { HandBackHeader(header, callback, instance); }

void VirtualWaveDevice::ClockThread() {
  std::unique_lock<std::mutex> guard(lock);
  while (!quit) {
    if (manual || FrameRate() == 0) {
      wake.wait(guard);
      continue;
    }
    if (speed == kAsFastAsPossible) {
      if (Advance(kFastChunk) == 0) {
        // Idle until something is queued or started; the time-out covers changes that need no Poke.
        wake.wait_for(guard, std::chrono::milliseconds(5));
      } else {
        guard.unlock();
        std::this_thread::yield();
        guard.lock();
      }
      continue;
    }
    // Real time (times `speed`): frames owed since the reckoning began; a device with nothing to do lets
    // its owed frames lapse, as a sound card does when no buffer is queued.
    uint64_t seen = changes;
    double rate = FrameRate() * speed;
    auto begin = std::chrono::steady_clock::now();
    uint64_t done = 0;
    while (!quit && !manual && changes == seen && FrameRate() != 0) {
      wake.wait_for(guard, kTick);
      if (quit || manual || changes != seen) break;
      double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
      uint64_t owed = static_cast<uint64_t>(elapsed * rate);
      if (owed > done) {
        unsigned want = static_cast<unsigned>(std::min<uint64_t>(owed - done, 1u << 20));
        unsigned moved = 0;
        while (moved < want) {
          unsigned n = Advance(want - moved);
          if (n == 0) break;
          moved += n;
        }
        done = owed;  // frames that found nothing to do are not made up later
      }
    }
  }
}

}  // namespace vowelscope
