#pragma once
// A synthetic session for chart pictures and paint timings: five sustained Japanese vowels (a, i, ɯ, e,
// o) sung by a low male voice with short pauses, then a glide o - a - i, analysed as the program
// analyses a recording: a formant value per 25 ms block and the F0 pass over the whole.

#include <cstdint>
#include <memory>
#include <vector>

#include "analysis/Formantvalue.h"
#include "analysis/Fzero.h"
#include "sound/Soundformat.h"
#include "sound/Recordingformat.h"
#include "sound/Soundmemorystream.h"

namespace vowelscope {

struct DemoSession {
  SoundFormat format;  // 16-bit mono, 11025 Hz
  std::vector<int16_t> samples;
  std::unique_ptr<SoundMemoryStream> sound;  // a view over samples
  std::vector<FormantValue> formantTrack;    // one value per 275-frame block
  std::shared_ptr<const FZeroResult> fzero;
  uint32_t glideEnd = 0;  // last frame of the final glide (and of the recording)
};

DemoSession MakeDemoSession();

}  // namespace vowelscope
