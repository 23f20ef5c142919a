#pragma once
// The format of everything the program records, analyses and saves: 16-bit signed PCM, mono, 11025 Hz.

#include <cstdint>

#include "sound/Soundformat.h"

namespace vowelscope {

inline constexpr uint32_t kRecordingRate = 11025;  // Hz

SoundFormat RecordingFormat();

}  // namespace vowelscope
