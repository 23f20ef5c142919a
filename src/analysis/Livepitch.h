#pragma once
// F0 of each 25 ms block while recording. The whole-take analysis waits for the end of the take and
// chooses its track by a path through every frame; live there is only the sound so far. So each block's
// value comes from one frame of the newest sound (two of the longest periods searched, at most two
// blocks), with the same lag correlation and refined peaks as the whole-take analysis, and one rule in
// place of the path: the strongest candidate, unless one near the last voiced block's pitch is almost as
// strong, so that a held note does not flip to its octave for a block while a real jump is followed.
// Prepare runs on the user-interface thread before a recording; Next on the capture thread, where it
// allocates nothing.

#include <cstdint>
#include <memory>
#include <vector>

#include "analysis/Fzero.h"
#include "analysis/Pitchcandidates.h"
#include "analysis/Pitchpath.h"

namespace vowelscope {

class LagCorrelation;

// Told of each block's live F0 as the capture thread analyses it.
using LivePitchCallback = Callback<FZeroValue>;
using LivePitchCallbackContainer = CallbackContainer<FZeroValue>;

class LivePitch {
 public:
  static constexpr double kVoicedScore = 0.7;  // as the F0 chart judges a frame voiced

  LivePitch();
  ~LivePitch();
  LivePitch(const LivePitch&) = delete;
  LivePitch& operator=(const LivePitch&) = delete;

  // Sizes everything for blocks of up to blockLength samples and the F0 range minFrequency ..
  // maxFrequency Hz (swapped when reversed); frames of a power below powerThreshold (dB on the 16-bit
  // scale, as the F0 pass's threshold) are unvoiced. False, and every block unvoiced, when the range
  // holds no whole lag or memory fails.
  bool Prepare(unsigned sampleRate, unsigned blockLength, int minFrequency, int maxFrequency, double powerThreshold);
  // Forgets the sound so far (a new take).
  void Reset();

  // The value of the newest block: frequency and score of the chosen candidate and the frame's power,
  // or frequency 0 (score 0) when unvoiced, quiet or while less sound than one frame has arrived.
  FZeroValue Next(const int16_t* samples, unsigned count);

  // Samples of the frame each value is taken from.
  unsigned FrameLength() const { return frameLength; }

 private:
  unsigned rate = 0;
  unsigned frameLength = 0;
  double threshold = 0.0;
  std::vector<int16_t> ring;  // the newest samples, written at `head`
  unsigned head = 0;
  unsigned filled = 0;
  std::vector<double> frame;
  std::vector<double> curve;
  std::unique_ptr<LagCorrelation> correlation;
  std::unique_ptr<PitchCandidateFinder> finder;
  std::unique_ptr<PitchPath> strength;  // only its strength of a lone candidate
  double lastFrequency = 0.0;  // of the last voiced block, 0 after a gap
  unsigned gap = 0;            // unvoiced blocks since then
};

}  // namespace vowelscope
