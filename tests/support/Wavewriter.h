#pragma once
// A WAVE file written through the program's own writer, for tests that need a valid recording on disk
// rather than odd bytes (for those, see Wavebytes.h).

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sound/Soundformat.h"
#include "sound/Wavefilestream.h"

namespace vowelscope::testsupport {

// A WAVE file of `format` holding the bytes of `samples` (as many whole frames as they fill).
inline void WriteWave(const std::string& path, const SoundFormat& format, const std::vector<int16_t>& samples) {
  WaveFileStream file(path, format, SoundFileStream::ModeCreate);
  ASSERT_TRUE(file.IsOpen()) << path;
  const unsigned frames = static_cast<unsigned>(samples.size() * 2 / format.GetBlockAlign());
  if (frames > 0) {
    int written = 0;
    ASSERT_TRUE(file.Write(samples.data(), frames, &written));
    ASSERT_EQ(written, static_cast<int>(frames));
  }
}

}  // namespace vowelscope::testsupport
