#pragma once
// One analysed 25 ms block of a recording: value k covers frames k * 275 to k * 275 + 274.

#include "base/Callback.h"

namespace vowelscope {

struct FormantValue {
  double power = 0.0;  // dB on the 16-bit sample scale (full scale is about 90.3 dB); 0 for silence
  double f1 = 0.0;     // Hz, 0 when none
  double f2 = 0.0;     // Hz, 0 when none
};

// Told of each block as the capture thread analyses it.
using FormantTrackCallback = Callback<FormantValue>;
using FormantTrackCallbackContainer = CallbackContainer<FormantValue>;

}  // namespace vowelscope
