#pragma once
// Buffer bookkeeping shared by the sound devices; included only by platform/ sources. Nothing here locks:
// each device calls it on whichever thread owns its queue at the time.

#include <cstdint>

#include "platform/Wavedevice.h"

namespace vowelscope {

// Preparing only marks the buffer: the devices copy from and into the caller's memory directly.
inline bool PrepareHeader(WaveHeader& header) {
  if (header.data == nullptr || header.bufferLength == 0) return false;
  header.flags.fetch_or(WaveHeader::Prepared);
  return true;
}

inline bool UnprepareHeader(WaveHeader& header) {
  if (header.Has(WaveHeader::InQueue)) return false;
  header.flags.fetch_and(~uint32_t{WaveHeader::Prepared});
  return true;
}

// A buffer may be queued once prepared, and not while the device already holds it.
inline bool CanQueueHeader(const WaveHeader& header) {
  return header.Has(WaveHeader::Prepared) && !header.Has(WaveHeader::InQueue);
}

// Marks a buffer held by the device; the Done mark of its previous round goes.
inline void MarkQueued(WaveHeader& header) {
  header.next = nullptr;
  header.flags.store((header.flags.load(std::memory_order_relaxed) & ~uint32_t{WaveHeader::Done}) |
                         WaveHeader::InQueue,
                     std::memory_order_release);
}

inline void AppendHeader(WaveHeader*& first, WaveHeader*& last, WaveHeader* header) {
  if (last != nullptr) {
    last->next = header;
  } else {
    first = header;
  }
  last = header;
}

// Takes the front buffer off a list that is not empty.
inline WaveHeader* PopHeader(WaveHeader*& first, WaveHeader*& last) {
  WaveHeader* header = first;
  first = header->next;
  if (first == nullptr) last = nullptr;
  return header;
}

// Marks a buffer handed back and tells the owner.
inline void HandBackHeader(WaveHeader* header, WaveDoneCallback callback, void* instance) {
  header->next = nullptr;
  header->flags.store((header->flags.load(std::memory_order_relaxed) & ~uint32_t{WaveHeader::InQueue}) |
                          WaveHeader::Done,
                      std::memory_order_release);
  if (callback != nullptr) callback(instance, header);
}

// Hands back a whole list, front first.
inline void HandBackHeaders(WaveHeader*& first, WaveHeader*& last, WaveDoneCallback callback, void* instance) {
  while (first != nullptr) HandBackHeader(PopHeader(first, last), callback, instance);
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
