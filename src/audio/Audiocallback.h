#pragma once
// What the recording and playback threads tell their listeners, on the device's own thread.

#include <cstdint>

#include "base/Callback.h"

namespace vowelscope {

struct AudioCallbackParams {
  // What happened: one of the AudioEvent values.
  int32_t type = 0;
  int32_t samples = 0;
};

// The values of AudioCallbackParams::type.
enum AudioEvent : int32_t {
  kAudioStarted = 1,   // the device thread started
  kAudioEnded = 2,     // it ended normally; samples: what was recorded or played
  kAudioBuffer = 3,    // one buffer was processed; samples: the total so far
  kAudioFailed = 4,    // a device operation failed, and the thread ended
};

using AudioCallback = Callback<AudioCallbackParams>;
using AudioCallbackContainer = CallbackContainer<AudioCallbackParams>;

}  // namespace vowelscope
