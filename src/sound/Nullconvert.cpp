#include "sound/Nullconvert.h"

#include <climits>
#include <cstring>

namespace vowelscope {

bool NullConvert::BeginConvert(const SoundFormat& from, const SoundFormat& to, unsigned maxInFrames,
                               int& maxOutFrames) {
  if (!CanConvert(from, to) || maxInFrames > INT_MAX) return false;
  frameBytes = from.GetBlockAlign();
  maxOutFrames = static_cast<int>(maxInFrames);
  return true;
}

bool NullConvert::Convert(const void* input, int inFrames, void* output, int* outFrames) {
  if (inFrames < 0) return false;
  const size_t bytes = static_cast<size_t>(inFrames) * static_cast<size_t>(frameBytes);
  if (bytes != 0) std::memcpy(output, input, bytes);
  if (outFrames != nullptr) *outFrames = inFrames;
  return true;
}

bool NullConvert::Flush(void*, int* outFrames) {
  if (outFrames != nullptr) *outFrames = 0;
  return true;
}

}  // namespace vowelscope
