#pragma once
// F0 (pitch) by a time-domain search over candidate periods. Each analysis frame holds two of the
// longest period searched; for every lag in the searched range the Pearson correlation between the
// frame and the frame shifted by that lag is computed, a small bias (0.00008 per Hz) is added so that
// of two equally good lags the shorter one (the higher frequency, not one of its subharmonics) wins,
// and the best lag gives the estimate. The winning score is kept with the value so that consumers
// decide what counts as voiced (the F0 chart draws scores of at least 0.7). The correlation sums are
// kept as running prefix sums, so a lag costs one dot product; with integer samples every sum is exact
// in double, which makes the result identical to summing each lag from scratch.
// Analyze runs on the worker thread of the F0 pass and calls its progress listeners on that thread.

#include <vector>

#include "engine/Callback.h"

namespace vowelscope {

class SoundStream;

// One F0 frame; all three are 0 for a frame that was not analysed.
struct FZeroValue {
  float frequency = 0.0f;  // Hz: sample rate / best lag
  float score = 0.0f;      // best correlation + 0.00008 * frequency
  float power = 0.0f;      // dB on the integer sample scale, 0 when the frame's mean square is not positive
};

// The F0 track of a stretch or a whole recording; value k stands for time k * frameShift.
class FZeroResult {
 public:
  FZeroResult(double frameShift, unsigned count) : frameShift(frameShift), values(count) {}
  virtual ~FZeroResult() = default;

  double frameShift;  // seconds between consecutive values
  std::vector<FZeroValue> values;
};

}  // namespace vowelscope
