#include "charts/Waverender.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

#include "analysis/Mathutilities.h"
#include "sound/Soundstream.h"

namespace vowelscope {

bool WaveRender::Render(SoundStream& source, size_t columns, PeakType* peaks) {
  format = source.GetFormat();
  const uint64_t length = source.GetLength();
  if (columns == 0) return true;
  if (format.GetBitsPerSample() != 16 || format.GetChannels() == 0) return false;
  const unsigned channels = format.GetChannels();
  const size_t capacity = kBufferBytes / format.GetBlockAlign();  // frames
  std::unique_ptr<int16_t[]> buffer(new (std::nothrow) int16_t[capacity * channels]);
  if (!buffer) return false;

  const auto boundary = [length, columns](size_t k) {
    return static_cast<uint64_t>(Round(static_cast<double>(k) * static_cast<double>(length) / columns));
  };

  size_t column = 0;
  uint64_t columnEnd = boundary(1);
  bool started = false;  // the column has seen a sample
  int16_t low = 0, high = 0;
  const auto finishColumn = [&] {
    peaks[column] = started ? PeakType{static_cast<float>(low), static_cast<float>(high)} : PeakType{};
    started = false;
    ++column;
    columnEnd = boundary(column + 1);
  };

  uint64_t position = 0;  // frames consumed
  // A column is stored as soon as its last frame is seen, so a later failed read cannot lose it.
  const auto finishReached = [&] {
    while (column < columns && columnEnd <= position) finishColumn();
  };
  finishReached();
  while (position < length && column < columns) {
    const unsigned wanted = static_cast<unsigned>(std::min<uint64_t>(capacity, length - position));
    int got = 0;
    if (!source.Read(buffer.get(), wanted, &got) || got <= 0) return false;
    const uint64_t chunkEnd = position + std::min<uint64_t>(static_cast<uint64_t>(got), wanted);
    const int16_t* samples = buffer.get();
    while (position < chunkEnd && column < columns) {
      const uint64_t stop = std::min(columnEnd, chunkEnd);
      const size_t count = static_cast<size_t>(stop - position) * channels;
      if (!started) {
        low = high = samples[0];
        started = true;
      }
      for (size_t i = 0; i < count; ++i) {
        low = std::min(low, samples[i]);
        high = std::max(high, samples[i]);
      }
      samples += count;
      position = stop;
      finishReached();
    }
  }
  return column >= columns;
}

}  // namespace vowelscope
