#pragma once
// Abstract stream of sound frames: every position, length and count is in frames.

#include <cstdint>

#include "sound/Soundformat.h"

namespace vowelscope {

// Where a Seek offset counts from.
enum SeekOrigin : int {
  kSeekBegin = 0,    // the start of the stream
  kSeekCurrent = 1,  // the current position
  kSeekEnd = 2,      // the end (the length)
};

class SoundStream {
 public:
  virtual ~SoundStream() = default;

  // The out-parameters may be null.
  virtual bool Read(void* buffer, unsigned frames, int* framesRead) = 0;
  virtual bool Write(const void* buffer, unsigned frames, int* framesWritten) = 0;
  // origin: a SeekOrigin.
  virtual bool Seek(int offset, int origin) = 0;
  virtual unsigned Tell() = 0;

  const SoundFormat& GetFormat() const { return format; }
  bool CanRead() const { return canRead; }
  bool CanWrite() const { return canWrite; }
  uint32_t GetLength() const { return length; }

 protected:
  SoundStream() = default;

  // The seek rule every stream shares: the target is offset from the start, the current position or
  // the length, as the origin says,, and must lie in 0 .. length - 1. Moves `position` only on success.
  bool SeekWithin(int offset, int origin, uint32_t& position) const {
    int64_t target;
    switch (origin) {
      case kSeekBegin: target = offset; break;
      case kSeekCurrent: target = static_cast<int64_t>(position) + offset; break;
      case kSeekEnd: target = static_cast<int64_t>(length) + offset; break;
      default: return false;
    }
    if (target < 0 || target >= static_cast<int64_t>(length)) return false;
    position = static_cast<uint32_t>(target);
    return true;
  }

  SoundFormat format;
  bool canRead = false;
  bool canWrite = false;
  uint32_t length = 0;
};

}  // namespace vowelscope
