#pragma once
// The F0 pass over a finished recording: the loud stretches are found from the levels of its 25 ms
// blocks and analysed for F0; the result covers the whole recording, with zeros outside the stretches.
// Runs on the worker thread; the progress listeners are called on it.

#include <memory>

#include "analysis/Fzero.h"
#include "base/Callback.h"

namespace vowelscope {

// Told once an F0 pass has ended: true when its result was installed.
using FZeroAnalyzeCallback = Callback<bool>;
using FZeroAnalyzeCallbackContainer = CallbackContainer<bool>;

class SoundFormat;

// The F0 settings the pass reads, taken once when it starts.
struct FZeroPassSettings {
  int frameShift = 10;           // milliseconds between F0 frames
  int minFrequency = 60;         // Hz, lowest F0 searched
  int maxFrequency = 1000;       // Hz, highest F0 searched
  double powerThreshold = 35.0;  // dB above one unit of the 16-bit scale that a block must reach
};

// Analyses the recording of `length` frames at `data` (only read, through a view of its own; the
// memory must not change during the pass). Progress goes to `progress` in F0 frames of the whole
// recording: minimum 0, maximum the result's value count, position the frame being analysed (the
// quiet parts are skipped, so the position rises with gaps). Returns the result with
// ceil(length / hop) values; a stretch the analyzer refuses (an invalid frequency range) ends the pass
// with what was assembled so far. A frame shift below one sample gives a result without values. Null
// only when the result cannot be allocated.
std::shared_ptr<const FZeroResult> RunFZeroPass(const void* data, unsigned length, const SoundFormat& format,
                                                const FZeroPassSettings& settings,
                                                ProgressCallbackContainer& progress);

}  // namespace vowelscope
