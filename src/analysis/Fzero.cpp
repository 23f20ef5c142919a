#include "analysis/Fzero.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "analysis/Lagcorrelation.h"
#include "analysis/Mathutilities.h"
#include "analysis/Pitchcandidates.h"
#include "analysis/Pitchpath.h"
#include "analysis/Soundstreamwindowing.h"
#include "sound/Soundstream.h"

namespace vowelscope {

namespace {

constexpr double kHighFrequencyBias = 0.00008;  // score added per Hz of the frequency
constexpr double kPeakFloor = 0.2;              // lowest correlation a peak must reach to be a candidate
constexpr double kRunThreshold = 0.45;          // a frame whose best candidate reaches this joins a run

FZeroValue MakeValue(double frequency, double correlation, double power) {
  return {static_cast<float>(frequency), static_cast<float>(correlation + kHighFrequencyBias * frequency),
          static_cast<float>(power)};
}

}  // namespace

std::unique_ptr<FZeroResult> FZeroAnalyzer::Analyze(SoundStream& source, unsigned start, unsigned count) {
  if (minFrequency <= 0 || maxFrequency <= 0 || maxFrequency < minFrequency) return nullptr;

  const SoundFormat& format = source.GetFormat();
  const unsigned fs = format.GetSampleRate();
  const unsigned hop = SecondsToFramesClamped(format, frameShift);
  if (hop == 0) return nullptr;
  unsigned lagMin = fs / static_cast<unsigned>(maxFrequency);
  const unsigned lagMax = fs / static_cast<unsigned>(minFrequency);
  if (lagMax > 0x3fffffffu) return nullptr;  // the frame of 2 * lagMax samples must stay countable
  if (lagMin == 0) lagMin = 1;               // a lag of 0 compares the frame with itself
  if (lagMin >= lagMax) return nullptr;
  const unsigned N = 2 * lagMax;

  SoundStreamWindowing windowing(source);
  windowing.SetShift(hop);
  windowing.SetWindowLength(N);
  windowing.SetWindowType(0);
  unsigned frames = 0;
  if (!windowing.Begin(start, count, frames) || frames == 0) return nullptr;

  const double rate = static_cast<double>(fs);
  // Refined lags stay within the frequencies asked for and the whole lags searched.
  const double shortest = std::max(static_cast<double>(lagMin), rate / maxFrequency);
  const double longest = std::max(shortest, std::min(rate / minFrequency, N - 3.0));
  // The curve reaches a few lags below the searched ones, so that the narrow peaks of high voices are
  // interpolated too, and at the long end up to a whole block of eight lags, which keeps its computation
  // in the vector path.
  const unsigned curveFrom = lagMin > PitchCandidateFinder::kHalfWidth ? lagMin - PitchCandidateFinder::kHalfWidth : 1;
  unsigned curveTo = std::min(std::max(lagMax - 1, static_cast<unsigned>(std::ceil(longest)) + 1), N - 2);
  while ((curveTo + 1 - curveFrom) % 8 != 0 && curveTo + 2 < N) ++curveTo;
  std::unique_ptr<FZeroResult> result;
  std::unique_ptr<LagCorrelation> lagCorrelation;
  std::vector<double> curve;
  std::vector<double> powers;  // of the frames of the current run
  std::vector<PitchCandidate> chosen;
  PitchCandidateFinder finder(curveFrom, curveTo - curveFrom + 1, shortest, longest);
  PitchPath path(rate, frameShift);
  try {
    result = std::make_unique<FZeroResult>(frameShift, frames);
    lagCorrelation = std::make_unique<LagCorrelation>(N, curveFrom, curveTo + 1);
    curve.resize(curveTo - curveFrom + 1);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  const double* correlation = curve.data() + (lagMin - curveFrom);  // from lagMin

  // The frames of a run get their values when the run ends.
  unsigned runStart = 0;
  auto finishRun = [&]() {
    path.Finish(chosen);
    for (size_t k = 0; k < chosen.size(); ++k) {
      result->values[runStart + k] = MakeValue(rate / chosen[k].lag, chosen[k].correlation, powers[k]);
    }
    powers.clear();
  };

  ProgressCallbackParams report;
  report.minimum = 0;
  report.maximum = static_cast<int32_t>(frames);
  PitchCandidateFinder::Candidates candidates;
  try {
    for (unsigned i = 0; i < frames; ++i) {
      report.position = static_cast<int32_t>(i);
      progress.Notify(report);

      const double* x = nullptr;
      if (!windowing.Next(x)) return nullptr;
      const double energy = lagCorrelation->Compute(x, curve.data());
      const double power = energy > 0.0 ? 10.0 * std::log10(energy / N) : 0.0;

      const unsigned found = finder.Find(curve.data(), kPeakFloor, candidates);
      if (found > 0 && candidates[0].correlation >= kRunThreshold) {
        if (path.Frames() == 0) runStart = i;
        path.Add(candidates.data(), found);
        powers.push_back(power);
        continue;
      }
      if (path.Frames() > 0) finishRun();
      if (found > 0) {
        // Alone, the candidate the path would favour.
        unsigned best = 0;
        for (unsigned k = 1; k < found; ++k) {
          if (path.Strength(candidates[k]) > path.Strength(candidates[best])) best = k;
        }
        result->values[i] = MakeValue(rate / candidates[best].lag, candidates[best].correlation, power);
      } else {
        // No peak at all (silence, a constant, a curve rising or falling all the way): the best whole
        // lag, of equal scores the shortest, its frequency within the range asked for.
        double bestScore = -10.0;
        double f0 = 0.0;
        for (unsigned j = 0; j < lagMax - lagMin; ++j) {
          const double frequency = std::clamp(rate / (lagMin + j), static_cast<double>(minFrequency),
                                              static_cast<double>(maxFrequency));
          const double score = correlation[j] + kHighFrequencyBias * frequency;
          if (score > bestScore) {
            bestScore = score;
            f0 = frequency;
          }
        }
        result->values[i] = {static_cast<float>(f0), static_cast<float>(bestScore), static_cast<float>(power)};
      }
    }
    if (path.Frames() > 0) finishRun();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }

  report.position = static_cast<int32_t>(frames);
  progress.Notify(report);
  windowing.End();
  return result;
}

}  // namespace vowelscope
