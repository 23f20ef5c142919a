#pragma once
// F0 (pitch) by the normalised autocorrelation of the sound, in four stages:
// 1. For every whole lag of the searched range, the Pearson correlation between the frame (two of the
//    longest periods searched) and the frame shifted by that lag (LagCorrelation).
// 2. The peaks of that curve, each moved to its true lag and height between whole lags by interpolation
//    (PitchCandidateFinder): a period that is not a whole number of samples no longer loses to its own
//    double, which does line up, and the frequency is not rounded to a whole lag.
// 3. Over a run of frames that have a clear peak, one candidate per frame by a path that favours the
//    higher of two near-equal candidates and penalises octave jumps between neighbouring frames
//    (PitchPath), so that a track neither drops to a subharmonic nor flips between octaves.
// 4. The value of the frame: the chosen frequency and its score, the correlation at the refined peak
//    plus a small bias (0.00008 per Hz) toward higher frequencies. Frames without a clear peak keep
//    their strongest candidate, or the best whole lag when the curve has no peak at all (silence).
// The score is kept with the value so that consumers decide what counts as voiced (the F0 chart draws
// scores of at least 0.7); unvoiced sound and silence stay well below that.
// Analyze runs on the worker thread of the F0 pass and calls its progress listeners on that thread.

#include <memory>
#include <vector>

#include "base/Callback.h"

namespace vowelscope {

class SoundStream;

// One F0 frame; all three are 0 for a frame that was not analysed.
struct FZeroValue {
  float frequency = 0.0f;  // Hz: sample rate / chosen lag (between whole lags)
  float score = 0.0f;      // correlation at the chosen lag + 0.00008 * frequency
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
// lagMax - 1 are searched; a refined frequency stays within the minimum and maximum frequency. Frame k
// is centred k * frameShift after the start of the stretch.
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
