#pragma once
// Shared by the PortAudio devices; included only by platform/ sources.
// The PortAudio library is initialised while at least one of our devices is open: every open device holds
// one reference, and the last release terminates the library. Safe to call from any thread.

#include <portaudio.h>

#include <atomic>
#include <cstdint>

#include "platform/Waveheaderqueue.h"

namespace vowelscope {

bool AcquirePortAudio();
void ReleasePortAudio();

// PortAudio sample format for a wave-format record, 0 when PortAudio has none for it.
unsigned long PortAudioSampleFormat(const WaveDeviceFormat& format);

// Opens a one-way stream on device `deviceId` (kWaveMapper: the default one) that calls `callback` with
// `user`. On success the stream holds one library reference, which the owner releases after closing it;
// on failure (no such device, too few channels, a format PortAudio refuses) nothing is held.
PaStream* OpenPortAudioStream(bool input, uint32_t deviceId, const WaveDeviceFormat& format,
                              PaStreamCallback* callback, void* user);

// Streams are stopped, never aborted: abort cancels PortAudio's callback thread, stopping lets the
// callback finish its period and costs at most the stream latency. True unless stopping failed.
inline bool StopPortAudioStream(PaStream* stream, bool& running) {
  bool ok = !running || Pa_StopStream(stream) == paNoError;
  running = false;
  return ok;
}

// Buffers handed to a running stream: any thread pushes without a lock, and the one thread that owns the
// stream's queue (its audio callback while it runs, the control thread while it is stopped) takes them
// all at once, in the order they were pushed.
class WaveHeaderInbox {
 public:
  void Push(WaveHeader* header) {
    WaveHeader* top = pushed.load(std::memory_order_relaxed);
    do {
      header->next = top;
    } while (!pushed.compare_exchange_weak(top, header, std::memory_order_release, std::memory_order_relaxed));
  }

  // Moves everything pushed so far onto the end of the list first..last.
  void TakeInto(WaveHeader*& first, WaveHeader*& last) {
    WaveHeader* taken = pushed.exchange(nullptr, std::memory_order_acquire);
    WaveHeader* reversed = nullptr;
    WaveHeader* tail = taken;
    while (taken != nullptr) {
      WaveHeader* next = taken->next;
      taken->next = reversed;
      reversed = taken;
      taken = next;
    }
    if (reversed == nullptr) return;
    if (last != nullptr) {
      last->next = reversed;
    } else {
      first = reversed;
    }
    last = tail;
  }

 private:
  std::atomic<WaveHeader*> pushed{nullptr};
};

}  // namespace vowelscope
