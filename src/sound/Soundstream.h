#pragma once
// Abstract stream of sound frames: every position, length and count is in frames.

#include <cstdint>

#include "sound/Soundformat.h"

namespace vowelscope {

class SoundStream {
 public:
  virtual ~SoundStream() = default;

  // The out-parameters may be null.
  virtual bool Read(void* buffer, unsigned frames, int* framesRead) = 0;
  virtual bool Write(const void* buffer, unsigned frames, int* framesWritten) = 0;
  // origin 0 = from the start, 1 = from the current position, 2 = from the end (length).
  virtual bool Seek(int offset, int origin) = 0;
  virtual unsigned Tell() = 0;

  const SoundFormat& GetFormat() const { return format; }
  bool CanRead() const { return canRead; }
  bool CanWrite() const { return canWrite; }
  uint32_t GetLength() const { return length; }

 protected:
  SoundStream() = default;

  SoundFormat format;
  bool canRead = false;
  bool canWrite = false;
  uint32_t length = 0;
};

}  // namespace vowelscope
