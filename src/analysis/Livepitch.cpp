#include "analysis/Livepitch.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "analysis/Lagcorrelation.h"

namespace vowelscope {

namespace {

constexpr double kPeakFloor = 0.2;             // lowest correlation a peak must reach to be a candidate
constexpr double kHighFrequencyBias = 0.00008;  // the score's premium per Hz, as in the whole-take analysis
// A candidate this near the last voiced block's pitch (in octaves) is kept while its strength is within
// kHoldMargin of the strongest: a near-tie with the octave no longer flips a held note, a clear jump is
// followed at once.
constexpr double kHoldReach = 1.5 / 12.0;
constexpr double kHoldMargin = 0.05;
constexpr unsigned kHoldBlocks = 2;             // unvoiced blocks after which the last pitch is forgotten

}  // namespace

LivePitch::LivePitch() = default;
LivePitch::~LivePitch() = default;

bool LivePitch::Prepare(unsigned sampleRate, unsigned blockLength, int minFrequency, int maxFrequency,
                        double powerThreshold) {
  frameLength = 0;
  correlation.reset();
  finder.reset();
  strength.reset();
  Reset();
  if (minFrequency > maxFrequency) std::swap(minFrequency, maxFrequency);
  if (sampleRate == 0 || minFrequency <= 0) return false;
  unsigned lagMin = sampleRate / static_cast<unsigned>(maxFrequency);
  const unsigned lagMax = sampleRate / static_cast<unsigned>(minFrequency);
  if (lagMin == 0) lagMin = 1;
  if (lagMin >= lagMax || lagMax > 0x3fffffffu) return false;
  // Two of the longest periods at least, and the whole of the last two blocks: the more periods a frame
  // holds, the less one period's jitter moves its peak.
  const unsigned N = std::max(2 * lagMax, 2 * blockLength);

  // The curve's reach as the whole-take analysis sets it, so that both refine the same peaks alike.
  const double fs = static_cast<double>(sampleRate);
  const double shortest = std::max(static_cast<double>(lagMin), fs / maxFrequency);
  const double longest = std::max(shortest, std::min(fs / minFrequency, N - 3.0));
  const unsigned curveFrom =
      lagMin > PitchCandidateFinder::kHalfWidth ? lagMin - PitchCandidateFinder::kHalfWidth : 1;
  unsigned curveTo = std::min(std::max(lagMax - 1, static_cast<unsigned>(std::ceil(longest)) + 1), N - 2);
  while ((curveTo + 1 - curveFrom) % 8 != 0 && curveTo + 2 < N) ++curveTo;
  try {
    ring.assign(N, 0);
    frame.assign(N, 0.0);
    curve.assign(curveTo - curveFrom + 1, 0.0);
    correlation = std::make_unique<LagCorrelation>(N, curveFrom, curveTo + 1);
    finder = std::make_unique<PitchCandidateFinder>(curveFrom, curveTo - curveFrom + 1, shortest, longest);
    strength = std::make_unique<PitchPath>(fs, static_cast<double>(blockLength) / fs);
  } catch (const std::bad_alloc&) {
    correlation.reset();
    return false;
  }
  rate = sampleRate;
  threshold = powerThreshold;
  frameLength = N;
  return true;
}

void LivePitch::Reset() {
  head = 0;
  filled = 0;
  lastFrequency = 0.0;
  gap = 0;
}

FZeroValue LivePitch::Next(const int16_t* samples, unsigned count) {
  if (!correlation) return {};
  const unsigned size = static_cast<unsigned>(ring.size());
  // Only the newest `size` samples of a long block can matter.
  if (count > size) {
    samples += count - size;
    count = size;
  }
  for (unsigned i = 0; i < count; ++i) {
    ring[head] = samples[i];
    head = head + 1 == size ? 0 : head + 1;
  }
  filled = std::min(size, filled + count);

  auto unvoiced = [this](double power) {
    if (++gap >= kHoldBlocks) lastFrequency = 0.0;
    return FZeroValue{0.0f, 0.0f, static_cast<float>(power)};
  };
  if (filled < frameLength) return unvoiced(0.0);

  unsigned from = (head + size - frameLength) % size;
  for (unsigned i = 0; i < frameLength; ++i) {
    frame[i] = ring[from];
    from = from + 1 == size ? 0 : from + 1;
  }
  const double energy = correlation->Compute(frame.data(), curve.data());
  const double power = energy > 0.0 ? 10.0 * std::log10(energy / frameLength) : 0.0;
  if (power < threshold) return unvoiced(power);

  PitchCandidateFinder::Candidates candidates;
  const unsigned found = finder->Find(curve.data(), kPeakFloor, candidates);
  if (found == 0) return unvoiced(power);
  unsigned best = 0;
  double bestStrength = -1e30;
  unsigned held = found;  // the strongest candidate near the last pitch, if any
  double heldStrength = -1e30;
  for (unsigned k = 0; k < found; ++k) {
    const double s = strength->Strength(candidates[k]);
    if (s > bestStrength) {
      bestStrength = s;
      best = k;
    }
    if (lastFrequency > 0.0 && std::fabs(std::log2(rate / candidates[k].lag / lastFrequency)) <= kHoldReach &&
        s > heldStrength) {
      heldStrength = s;
      held = k;
    }
  }
  if (held < found && heldStrength >= bestStrength - kHoldMargin) best = held;
  const double frequency = rate / candidates[best].lag;
  const double score = candidates[best].correlation + kHighFrequencyBias * frequency;
  if (score < kVoicedScore) return unvoiced(power);
  lastFrequency = frequency;
  gap = 0;
  return {static_cast<float>(frequency), static_cast<float>(score), static_cast<float>(power)};
}

}  // namespace vowelscope
