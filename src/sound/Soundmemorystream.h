#pragma once
// Sound stream over one contiguous block of memory: either owned and growable, or a fixed view over
// memory that belongs to someone else. The recording buffer is written on the capture thread.

#include <cstdint>

#include "sound/Soundstream.h"

namespace vowelscope {

class SoundMemoryStream : public SoundStream {
 public:
  // An owning, empty stream.
  explicit SoundMemoryStream(const SoundFormat& format);
  // A view over `frames` frames at `data`; the memory must outlive the view, which never frees or
  // reallocates it.
  SoundMemoryStream(void* data, unsigned frames, const SoundFormat& format);
  ~SoundMemoryStream() override;
  SoundMemoryStream(const SoundMemoryStream&) = delete;
  SoundMemoryStream& operator=(const SoundMemoryStream&) = delete;

  bool Read(void* buffer, unsigned frames, int* framesRead) override;
  // A view takes only the frames that fit before its end; an owning stream grows, by at least half
  // its capacity, so that long runs of small writes reallocate rarely.
  bool Write(const void* buffer, unsigned frames, int* framesWritten) override;
  // The target must lie in 0 .. length - 1.
  bool Seek(int offset, int origin) override;
  unsigned Tell() override { return position; }

  uint8_t* GetData() const { return data; }
  uint32_t GetCapacity() const { return capacity; }
  bool IsOwner() const { return owner; }

  // Makes room for exactly `frames` frames (never below length). False for a view.
  bool Reserve(unsigned frames);
  // Sets length and capacity to exactly `frames`; new frames are zero. False for a view.
  bool Resize(unsigned frames);
  // Exchanges everything with `other` (memory, ownership, format, length, position) without copying:
  // a sound can be read in completely before it takes the place of the one in use.
  void Swap(SoundMemoryStream& other);

 private:
  // Reallocates to exactly `frames` frames; nothing changes when that fails.
  bool Reallocate(unsigned frames);
  // Makes room for at least `needed` frames on behalf of Write.
  bool Grow(unsigned needed);

  bool owner;
  uint8_t* data;
  uint32_t position = 0;
  uint32_t capacity;
};

}  // namespace vowelscope
