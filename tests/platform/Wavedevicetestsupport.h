#pragma once
// What the wave-device tests share: headers over owned buffers, and a record of the buffers a device
// handed back (its done callback may run on any thread).

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Wavedevice.h"

namespace vowelscope::wavetest {

struct Buffers {
  Buffers(unsigned count, unsigned bytes) : data(count, std::vector<uint8_t>(bytes)), headers(count) {
    for (unsigned i = 0; i < count; ++i) {
      headers[i].data = data[i].data();
      headers[i].bufferLength = bytes;
      headers[i].user = i;
    }
  }
  std::vector<std::vector<uint8_t>> data;
  std::vector<WaveHeader> headers;
};

class DoneLog {
 public:
  static void Callback(void* instance, WaveHeader* header) {
    auto* self = static_cast<DoneLog*>(instance);
    std::lock_guard<std::mutex> guard(self->lock);
    self->done.push_back(header->user);
    self->bytes.push_back(header->bytesRecorded.load());
    self->changed.notify_all();
  }
  std::vector<uintptr_t> Done() {
    std::lock_guard<std::mutex> guard(lock);
    return done;
  }
  std::vector<uint32_t> Bytes() {
    std::lock_guard<std::mutex> guard(lock);
    return bytes;
  }
  bool WaitFor(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, limit, [&] { return done.size() >= count; });
  }

 private:
  std::mutex lock;
  std::condition_variable changed;
  std::vector<uintptr_t> done;
  std::vector<uint32_t> bytes;
};

inline WaveDeviceFormat Mono16(uint32_t rate = 11025) {
  WaveDeviceFormat f;
  f.formatTag = 1;
  f.channels = 1;
  f.samplesPerSec = rate;
  f.avgBytesPerSec = rate * 2;
  f.blockAlign = 2;
  f.bitsPerSample = 16;
  return f;
}

// Sample i of a ramp is i, so any sample shows where in the source it came from.
inline std::vector<int16_t> Ramp(size_t n) {
  std::vector<int16_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<int16_t>(i);
  return v;
}

inline int16_t SampleAt(const std::vector<uint8_t>& bytes, size_t i) {
  return static_cast<int16_t>(static_cast<uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
}

}  // namespace vowelscope::wavetest
