#pragma once
// Shared by the PortAudio devices; included only by platform/ sources.
// The PortAudio library is initialised while at least one of our devices is open: every open device holds
// one reference, and the last release terminates the library. Safe to call from any thread.

#include <atomic>

#include "platform/Wavedevice.h"

namespace vowelscope {

bool AcquirePortAudio();
void ReleasePortAudio();

// PortAudio sample format for a wave-format record, 0 when PortAudio has none for it.
unsigned long PortAudioSampleFormat(const WaveDeviceFormat& format);

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

// Marks a buffer handed back and tells the owner.
inline void HandBackHeader(WaveHeader* header, WaveDoneCallback callback, void* instance) {
  header->next = nullptr;
  header->flags.store((header->flags.load(std::memory_order_relaxed) & ~uint32_t{WaveHeader::InQueue}) |
                          WaveHeader::Done,
                      std::memory_order_release);
  if (callback != nullptr) callback(instance, header);
}

// Forgets a list of buffers without telling the owner (the device is closing).
inline void DropHeaders(WaveHeader*& first, WaveHeader*& last) {
  for (WaveHeader* h = first; h != nullptr;) {
    WaveHeader* next = h->next;
    h->next = nullptr;
    h->flags.fetch_and(~uint32_t{WaveHeader::InQueue});
    h = next;
  }
  first = last = nullptr;
}

}  // namespace vowelscope
