#include "analysis/Autosegment.h"

#include <cmath>
#include <cstring>
#include <new>

#include "analysis/Mathutilities.h"
#include "sound/Soundstream.h"

namespace vowelscope {

bool AutoSegment::Attach(SoundStream& source, bool computeLevels) {
  Reset();
  format = source.GetFormat();
  streamLength = source.GetLength();
  blockFrames = SecondsToFramesClamped(format, blockSeconds);
  if (blockFrames == 0) {
    Reset();
    return false;
  }
  blockCount = static_cast<unsigned>((static_cast<uint64_t>(streamLength) + blockFrames - 1) / blockFrames);

  if (computeLevels) {
    try {
      levels.resize(blockCount);
    } catch (const std::bad_alloc&) {
      Reset();
      return false;
    }
    stream = &source;
    if (!source.Seek(0, kSeekBegin) || !PrepareRead()) {
      Reset();
      return false;
    }
    for (unsigned b = 0; b < blockCount; ++b) levels[b] = ReadLevel();
    ReleaseRead();
    hasLevels = true;
  }
  stream = &source;
  return true;
}

void AutoSegment::Reset() {
  stream = nullptr;
  levels = {};
  hasLevels = false;
  readBuffer = {};
  streamLength = 0;
  blockCount = 0;
  blockFrames = 0;
  fullScaleDb = 0.0;
  sampleKey = Unsupported;
}

bool AutoSegment::PrepareRead() {
  const unsigned bits = format.GetBitsPerSample();
  const int kind = format.GetKind();
  if (bits == 8 && kind == PcmUnsigned) {
    // Centred on 128, so 8-bit silence reads as the floor like silence of the other formats.
    sampleKey = Unsigned8;
    fullScaleDb = 20.0 * std::log10(128.0);
    floorMeanSquare = 1.0;
    floorDb = -fullScaleDb;
  } else if (bits == 16 && kind == PcmSigned) {
    sampleKey = Signed16;
    fullScaleDb = 20.0 * std::log10(32768.0);
    floorMeanSquare = 1.0;
    floorDb = -fullScaleDb;
  } else if (bits == 32 && kind == Float) {
    // Full scale is 1; the floor is that of 16-bit sound (one unit of 1/32768), since a floor of one
    // full-scale unit would make every block read as full scale.
    sampleKey = Float32;
    fullScaleDb = 0.0;
    floorMeanSquare = 1.0 / (32768.0 * 32768.0);
    floorDb = -20.0 * std::log10(32768.0);
  } else {
    sampleKey = Unsupported;
    return false;
  }
  if (format.GetChannels() == 0) return false;
  blockFrames = SecondsToFramesClamped(format, blockSeconds);
  try {
    readBuffer.assign(static_cast<size_t>(format.FramesToBytes(blockFrames)), 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

float AutoSegment::ReadLevel() {
  int framesRead = 0;
  if (!stream->Read(readBuffer.data(), blockFrames, &framesRead) || framesRead <= 0) {
    return static_cast<float>(floorDb);
  }
  const unsigned frames = static_cast<unsigned>(framesRead) < blockFrames ? framesRead : blockFrames;
  const unsigned n = frames * format.GetChannels();
  const uint8_t* bytes = readBuffer.data();
  double meanSquare = 0.0;
  for (unsigned i = 0; i < n; ++i) {
    double s;
    if (sampleKey == Signed16) {
      int16_t v;
      std::memcpy(&v, bytes + 2 * i, sizeof v);
      s = v;
    } else if (sampleKey == Float32) {
      float v;
      std::memcpy(&v, bytes + 4 * i, sizeof v);
      s = v;
    } else {
      s = static_cast<double>(bytes[i]) - 128.0;
    }
    meanSquare += s * s / n;
  }
  if (meanSquare > floorMeanSquare) return static_cast<float>(10.0 * std::log10(meanSquare) - fullScaleDb);
  return static_cast<float>(floorDb);
}

bool AutoSegment::FindSegment(unsigned from, unsigned& start, unsigned& length) {
  if (stream == nullptr) return false;
  const uint64_t c = blockFrames;
  const uint64_t d = SecondsToFramesClamped(format, margin);
  const uint64_t e = SecondsToFramesClamped(format, minVoice);
  const uint64_t f = SecondsToFramesClamped(format, maxGap);

  uint64_t b = (static_cast<uint64_t>(from) + c - 1) / c;
  if (!hasLevels) {
    if (b >= blockCount) return false;  // the seek below would fail on it too
    if (!stream->Seek(static_cast<int>(b * c), kSeekBegin) || !PrepareRead()) {
      ReleaseRead();
      return false;
    }
  }

  bool inVoice = false;
  bool inGap = false;
  uint64_t s = 0;
  uint64_t g = 0;
  for (; b < blockCount; ++b) {
    const float level = hasLevels ? levels[b] : ReadLevel();
    if (!inVoice) {
      if (level >= startThreshold) {
        s = b;
        inVoice = true;
      }
    } else if (!inGap) {
      if (level < endThreshold) {
        if ((b - s) * c < e) {
          inVoice = false;  // too short: dropped, look for the next start
        } else {
          g = b;
          inGap = true;
        }
      }
    } else {
      // The pause is measured in blocks, before this block's level is looked at.
      if ((b - g) * c > f) break;
      if (level > endThreshold) inGap = false;
    }
  }
  if (!hasLevels) ReleaseRead();
  if (!inVoice) return false;

  uint64_t first = s * c;
  uint64_t size = inGap ? (g - s) * c : streamLength - first;
  if (first < d) {
    size += first;
    first = 0;
  } else {
    size += d;
    first -= d;
  }
  if (first + size + d > streamLength) {
    size = streamLength - first;
  } else {
    size += d;
  }
  start = static_cast<unsigned>(first);
  length = static_cast<unsigned>(size);
  return true;
}

}  // namespace vowelscope
