#include "analysis/Soundstreamwindowing.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "analysis/Windowfunction.h"
#include "sound/Soundstream.h"

namespace vowelscope {

SoundStreamWindowing::SoundStreamWindowing(SoundStream& source)
    : source(source),
      shift(source.GetFormat().SecondsToFrames(0.01)),
      windowLength(source.GetFormat().SecondsToFrames(0.02)) {}

SoundStreamWindowing::~SoundStreamWindowing() = default;

void SoundStreamWindowing::End() {
  // Assigning empty vectors really gives the memory back, unlike clear().
  rawIntegers = {};
  rawFloats = {};
  frameBuffer = {};
  weightedBuffer = {};
  window = {};
}

bool SoundStreamWindowing::Begin(unsigned rangeStart, unsigned rangeCount, unsigned& frames) {
  End();
  frames = 0;
  const unsigned length = source.GetLength();
  if (rangeStart > length) return false;
  if (rangeCount == 0 || static_cast<uint64_t>(rangeStart) + rangeCount > length) rangeCount = length - rangeStart;
  start = rangeStart;
  count = rangeCount;

  // A hop of 0 would never advance; the stream's positions are ints, so longer hops and windows cannot
  // be seeked over.
  if (shift == 0 || windowLength == 0) return false;
  if (shift > INT_MAX || windowLength > INT_MAX || length > INT_MAX) return false;

  const SoundFormat& format = source.GetFormat();
  if (format.GetChannels() != 1) return false;
  if (format.GetBitsPerSample() == 16) {
    floatSamples = false;
  } else if (format.GetBitsPerSample() == 32) {
    floatSamples = true;
  } else {
    return false;
  }

  try {
    if (windowType != RectangularWindow) {
      WindowFunction function = GetWindowFunction(static_cast<unsigned>(windowType));
      if (function == nullptr) return false;
      window.resize(windowLength);
      weightedBuffer.resize(windowLength);
      const int n = static_cast<int>(windowLength);
      for (int i = 0; i < n; ++i) window[i] = function(i, n);
    }
    if (!Prime()) {
      End();
      return false;
    }
  } catch (const std::bad_alloc&) {
    End();
    return false;
  }

  frames = static_cast<unsigned>((static_cast<uint64_t>(count) + shift - 1) / shift);
  return true;
}

bool SoundStreamWindowing::Prime() {
  const unsigned N = windowLength;
  const unsigned half = N / 2;
  overlap = shift < N ? N - shift : 0;
  gap = shift >= N ? shift - N : 0;
  if (floatSamples) {
    rawFloats.assign(N, 0.0f);
  } else {
    rawIntegers.assign(N, 0);
  }
  frameBuffer.assign(N, 0.0);

  if (overlap > 0) {
    unsigned primed;
    if (half < start) {
      if (!source.Seek(static_cast<int>(start - half), kSeekBegin)) return false;
      primed = overlap;
    } else {
      if (!source.Seek(0, kSeekBegin)) return false;
      primed = overlap > half - start ? overlap - (half - start) : 0;
    }
    // The primed samples end the buffer, so the first Next keeps them as the frame's leading part.
    unsigned got = 0;
    if (!ReadRaw(primed, got)) return false;
    double* to = frameBuffer.data() + (N - primed);
    for (unsigned i = 0; i < got; ++i) to[i] = floatSamples ? rawFloats[i] : rawIntegers[i];
    carry = overlap;
  } else if (half > start) {
    if (!source.Seek(0, kSeekBegin)) return false;
    carry = half - start;
  } else {
    if (!source.Seek(static_cast<int>(start - half), kSeekBegin)) return false;
    carry = 0;
  }
  return true;
}

bool SoundStreamWindowing::ReadRaw(unsigned n, unsigned& got) {
  got = 0;
  if (n == 0) return true;
  int framesRead = 0;
  void* buffer = floatSamples ? static_cast<void*>(rawFloats.data()) : static_cast<void*>(rawIntegers.data());
  if (!source.Read(buffer, n, &framesRead)) return false;
  got = framesRead < 0 ? 0u : std::min(static_cast<unsigned>(framesRead), n);
  return true;
}

bool SoundStreamWindowing::Next(const double*& frame) {
  if (frameBuffer.empty()) return false;
  const unsigned N = windowLength;
  const unsigned n = N - carry;
  unsigned got = 0;
  if (!ReadRaw(n, got)) return false;
  if (got == n) {
    // A failed skip is ignored: the next frame then follows this one directly.
    if (gap > 0) source.Seek(static_cast<int>(gap), kSeekCurrent);
  } else if (floatSamples) {
    std::fill(rawFloats.begin() + got, rawFloats.begin() + n, 0.0f);
  } else {
    std::fill(rawIntegers.begin() + got, rawIntegers.begin() + n, 0);
  }

  double* buffer = frameBuffer.data();
  if (carry > 0) std::memmove(buffer, buffer + (N - carry), carry * sizeof(double));
  if (floatSamples) {
    for (unsigned i = 0; i < n; ++i) buffer[carry + i] = rawFloats[i];
  } else {
    for (unsigned i = 0; i < n; ++i) buffer[carry + i] = rawIntegers[i];
  }
  carry = overlap;

  if (window.empty()) {
    frame = buffer;
  } else {
    for (unsigned i = 0; i < N; ++i) weightedBuffer[i] = buffer[i] * window[i];
    frame = weightedBuffer.data();
  }
  return true;
}

}  // namespace vowelscope
