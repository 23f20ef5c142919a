#pragma once
// Reduces a whole recording to one (minimum, maximum) pair per pixel column, so that the F0 chart
// paints its waveform envelope without touching the samples. The recording is read once, front to
// back, through a fixed 8 MiB buffer whatever its length; each column keeps a running minimum and
// maximum, so a column may be longer than the buffer.

#include <cstddef>

#include "sound/Soundformat.h"

namespace vowelscope {

class SoundStream;

class WaveRender {
 public:
  // Raw 16-bit sample values (-32768 ... 32767).
  struct PeakType {
    float minimum = 0.0f;
    float maximum = 0.0f;
    friend bool operator==(const PeakType&, const PeakType&) = default;
  };

  static constexpr size_t kBufferBytes = 8388608;

  WaveRender() = default;
  virtual ~WaveRender() = default;

  // Column k of `columns` covers the frames round(k * L / columns) up to round((k + 1) * L / columns) - 1
  // of the stream's L frames, read from its current position (the caller rewinds it). A column without
  // frames gets (0, 0). Only 16-bit sound is rendered. False when the buffer cannot be allocated, the
  // format is not 16-bit, or a read fails or ends early; the columns not reached keep their values.
  bool Render(SoundStream& source, size_t columns, PeakType* peaks);

  // The format of the stream rendered last.
  const SoundFormat& GetFormat() const { return format; }

 private:
  SoundFormat format;
};

}  // namespace vowelscope
