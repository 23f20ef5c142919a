#pragma once
// What the AudioIn/AudioOut tests share: the recording format, a listener that records the
// notifications (they arrive on the capture or playback thread) and lets the test wait for them,
// and a target stream that takes a limited number of frames or fails.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <ostream>
#include <thread>
#include <vector>

#include "audio/Audiocallback.h"
#include "sound/Soundformat.h"
#include "sound/Soundstream.h"

namespace vowelscope::audiotest {

inline SoundFormat Mono16(uint32_t rate = 11025) {
  SoundFormat f;
  f.SetKind(PcmSigned);
  f.SetNativeLayout(1);
  f.SetChannels(1);
  f.SetSampleRate(rate);
  f.SetBitsPerSample(16);
  return f;
}

inline std::vector<int16_t> Ramp(size_t n, int start = 0) {
  std::vector<int16_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<int16_t>((start + static_cast<int>(i)) % 30000);
  return v;
}

struct Event {
  int32_t type;
  int32_t samples;
  bool operator==(const Event& o) const { return type == o.type && samples == o.samples; }
};

// Polls `done` every millisecond for up to five seconds.
inline bool Eventually(const std::function<bool()>& done) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

inline std::ostream& operator<<(std::ostream& os, const Event& e) {
  return os << "{" << e.type << ", " << e.samples << "}";
}

class Listener {
 public:
  void OnAudio(AudioCallbackParams& p) {
    std::lock_guard<std::mutex> guard(lock);
    events.push_back({p.type, p.samples});
    changed.notify_all();
  }
  std::vector<Event> Events() {
    std::lock_guard<std::mutex> guard(lock);
    return events;
  }
  std::vector<int32_t> Types() {
    std::lock_guard<std::mutex> guard(lock);
    std::vector<int32_t> t;
    for (auto& e : events) t.push_back(e.type);
    return t;
  }
  void Clear() {
    std::lock_guard<std::mutex> guard(lock);
    events.clear();
  }
  // Waits (a generous while, so that a hang fails instead of stalling) until `done` holds.
  bool WaitUntil(const std::function<bool(const std::vector<Event>&)>& done,
                 std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, limit, [&] { return done(events); });
  }
  bool WaitForType(int32_t type) {
    return WaitUntil([type](const std::vector<Event>& e) {
      for (auto& x : e) {
        if (x.type == type) return true;
      }
      return false;
    });
  }
  // Waits until a progress report (type 3) of at least `frames`.
  bool WaitForFrames(int32_t frames) {
    return WaitUntil([frames](const std::vector<Event>& e) {
      for (auto& x : e) {
        if (x.type == 3 && x.samples >= frames) return true;
        if (x.type == 2 || x.type == 4) return true;
      }
      return false;
    });
  }
  int Count(int32_t type) {
    std::lock_guard<std::mutex> guard(lock);
    int n = 0;
    for (auto& e : events) n += e.type == type;
    return n;
  }

 private:
  std::mutex lock;
  std::condition_variable changed;
  std::vector<Event> events;
};

// Keeps what it is given, up to `limit` frames; a write after that accepts nothing. `failAfter`
// writes succeed, then every write fails.
class LimitedTarget : public SoundStream {
 public:
  LimitedTarget(const SoundFormat& f, unsigned limit, unsigned failAfter = ~0u) : limit(limit), failAfter(failAfter) {
    format = f;
    canWrite = true;
  }
  bool Read(void*, unsigned, int*) override { return false; }
  bool Write(const void* buffer, unsigned frames, int* written) override {
    if (writes++ >= failAfter) return false;
    unsigned n = frames < limit - samples.size() ? frames : limit - static_cast<unsigned>(samples.size());
    auto* s = static_cast<const int16_t*>(buffer);
    samples.insert(samples.end(), s, s + n);
    length = static_cast<uint32_t>(samples.size());
    if (written != nullptr) *written = static_cast<int>(n);
    return true;
  }
  bool Seek(int, int) override { return false; }
  unsigned Tell() override { return static_cast<unsigned>(samples.size()); }
  void SetWritable(bool value) { canWrite = value; }

  std::vector<int16_t> samples;
  unsigned limit;
  unsigned failAfter;
  unsigned writes = 0;
};

}  // namespace vowelscope::audiotest
