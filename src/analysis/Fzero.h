#pragma once
// F0 (pitch) by a time-domain search over candidate periods. Each analysis frame holds two of the
// longest period searched; for every lag in the searched range the Pearson correlation between the
// frame and the frame shifted by that lag is computed, a small bias (0.00008 per Hz) is added so that
// of two equally good lags the shorter one (the higher frequency, not one of its subharmonics) wins,
// and the best lag gives the estimate. The winning score is kept with the value so that consumers
// decide what counts as voiced (the F0 chart draws scores of at least 0.7). The sums of x and x^2 over
// either side of a lag come from prefix sums of the frame, and the lagged products of several lags are
// summed in one pass over it. With 16-bit samples every such sum is an exact integer in double, so the
// values are bit for bit those of summing each lag from scratch (float samples may differ in the last
// bits).
// Analyze runs on the worker thread of the F0 pass and calls its progress listeners on that thread.

#include <memory>
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

// Analyses one stretch of a sound stream frame by frame. Frames hold 2 * lagMax samples (lagMax =
// rate / minimum frequency, lagMin = rate / maximum frequency, integer divisions) and lags lagMin ..
// lagMax - 1 are searched; frame k is centred k * frameShift after the start of the stretch.
class FZeroAnalyzer {
 public:
  FZeroAnalyzer() = default;
  virtual ~FZeroAnalyzer() = default;
  FZeroAnalyzer(const FZeroAnalyzer&) = delete;
  FZeroAnalyzer& operator=(const FZeroAnalyzer&) = delete;

  void SetFrameShift(double seconds) { frameShift = seconds; }
  void SetMinFrequency(int hertz) { minFrequency = hertz; }
  void SetMaxFrequency(int hertz) { maxFrequency = hertz; }
  double GetFrameShift() const { return frameShift; }
  int GetMinFrequency() const { return minFrequency; }
  int GetMaxFrequency() const { return maxFrequency; }

  // Told before each frame (position = frame index, maximum = frames of the stretch) and once at the end
  // (position = maximum).
  void AddProgressCallback(const ProgressCallback& callback) { progress.Add(callback); }

  // One value per frame of source frames start .. start + count (count 0: to the end of the source).
  // Null, without any progress report, when the frequencies are not positive or the minimum exceeds
  // the maximum, when the range holds no whole lag, when the frame shift is less than one sample, when
  // the source is not mono 16-bit integer or 32-bit float, when the stretch gives no frame, and when
  // memory or reading fails. A maximum frequency above the sample rate searches from a lag of 1.
  std::unique_ptr<FZeroResult> Analyze(SoundStream& source, unsigned start, unsigned count);

 private:
  double frameShift = 0.01;
  int minFrequency = 100;
  int maxFrequency = 400;
  CallbackContainer<ProgressCallbackParams> progress;
};

}  // namespace vowelscope
