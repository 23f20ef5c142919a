#include "sound/Soundmemorystream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace vowelscope {

SoundMemoryStream::SoundMemoryStream(const SoundFormat& format) : owner(true), data(nullptr), capacity(0) {
  this->format = format;
  canRead = true;
  canWrite = true;
}

SoundMemoryStream::SoundMemoryStream(void* data, unsigned frames, const SoundFormat& format)
    : owner(false), data(static_cast<uint8_t*>(data)), capacity(frames) {
  this->format = format;
  length = frames;
  canRead = true;
  canWrite = true;
}

SoundMemoryStream::~SoundMemoryStream() {
  if (owner) std::free(data);
}

bool SoundMemoryStream::Read(void* buffer, unsigned frames, int* framesRead) {
  if (position > length) return false;
  const unsigned n = std::min(frames, length - position);
  const uint64_t bytes = format.FramesToBytes(n);
  if (bytes != 0) std::memcpy(buffer, data + format.FramesToBytes(position), bytes);
  if (framesRead != nullptr) *framesRead = static_cast<int>(n);
  position += n;
  return true;
}

bool SoundMemoryStream::Write(const void* buffer, unsigned frames, int* framesWritten) {
  if (position > length) return false;
  unsigned count = frames;
  if (capacity - position < frames) {
    if (owner) {
      if (frames > UINT32_MAX - position) return false;  // past the largest length a stream can have
      if (!Grow(position + frames)) return false;
    } else {
      count = capacity - position;
    }
  }
  const uint64_t bytes = format.FramesToBytes(count);
  if (bytes != 0) std::memcpy(data + format.FramesToBytes(position), buffer, bytes);
  if (framesWritten != nullptr) *framesWritten = static_cast<int>(count);
  position += count;
  length = std::max(length, position);
  return true;
}

bool SoundMemoryStream::Seek(int offset, int origin) {
  return SeekWithin(offset, origin, position);
}

bool SoundMemoryStream::Reallocate(unsigned frames) {
  const uint64_t bytes = format.FramesToBytes(frames);
  if (bytes > SIZE_MAX) return false;
  if (bytes == 0) {
    // realloc(p, 0) may free p and still return null; free it here so the result is unambiguous.
    std::free(data);
    data = nullptr;
    return true;
  }
  void* grown = std::realloc(data, static_cast<size_t>(bytes));
  if (grown == nullptr) return false;
  data = static_cast<uint8_t*>(grown);
  return true;
}

bool SoundMemoryStream::Grow(unsigned needed) {
  // A recording appends 275 frames every 25 ms for up to hours; growing by exactly what a write needs
  // would reallocate, and with most allocators copy, the whole buffer on every block of the capture
  // thread. Growing by half the capacity keeps that to a few dozen reallocations.
  const uint64_t geometric = uint64_t{capacity} + capacity / 2;
  const uint64_t target = std::min<uint64_t>(std::max<uint64_t>(needed, geometric), UINT32_MAX);
  if (target > needed && Reallocate(static_cast<unsigned>(target))) {
    capacity = static_cast<uint32_t>(target);
    return true;
  }
  // Short of memory for the margin: the exact size may still fit.
  return Reserve(needed);
}

void SoundMemoryStream::Swap(SoundMemoryStream& other) {
  std::swap(format, other.format);
  std::swap(canRead, other.canRead);
  std::swap(canWrite, other.canWrite);
  std::swap(length, other.length);
  std::swap(owner, other.owner);
  std::swap(data, other.data);
  std::swap(position, other.position);
  std::swap(capacity, other.capacity);
}

bool SoundMemoryStream::Reserve(unsigned frames) {
  if (!owner) return false;
  if (frames <= length) return true;
  if (!Reallocate(frames)) return false;
  capacity = frames;
  return true;
}

bool SoundMemoryStream::Resize(unsigned frames) {
  if (!owner) return false;
  if (frames == length && frames == capacity) return true;
  if (!Reallocate(frames)) return false;
  capacity = frames;
  if (frames > length) {
    const uint64_t bytes = format.FramesToBytes(frames - length);
    if (bytes != 0) std::memset(data + format.FramesToBytes(length), 0, bytes);
  }
  length = frames;
  position = std::min(position, frames);
  return true;
}

}  // namespace vowelscope
