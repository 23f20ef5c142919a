#include "analysis/Pitchpath.h"

#include <cmath>

namespace vowelscope {

namespace {

constexpr unsigned kStride = PitchCandidateFinder::kMaxCandidates;
constexpr double kHighFrequencyBias = 0.00008;  // the score's premium per Hz
constexpr double kOctavePremium = 0.04;         // strength per octave of frequency
constexpr double kJumpCostPer10ms = 0.35;       // cost per octave moved between frames 10 ms apart

}  // namespace

PitchPath::PitchPath(double sampleRate, double frameSeconds)
    : sampleRate(sampleRate), jumpCost(kJumpCostPer10ms * 0.01 / (frameSeconds > 0.0 ? frameSeconds : 0.01)) {}

double PitchPath::Strength(const PitchCandidate& candidate) const {
  return Strength(candidate, std::log2(sampleRate / candidate.lag));
}

double PitchPath::Strength(const PitchCandidate& candidate, double logFrequency) const {
  return candidate.correlation + kHighFrequencyBias * sampleRate / candidate.lag + kOctavePremium * logFrequency;
}

void PitchPath::Add(const PitchCandidate* candidates, unsigned count) {
  if (count == 0) return;
  if (count > kStride) count = kStride;
  const size_t frame = counts.size();
  nodes.resize((frame + 1) * kStride);
  counts.push_back(static_cast<uint8_t>(count));
  Node* here = nodes.data() + frame * kStride;
  const Node* before = frame > 0 ? here - kStride : nullptr;
  const unsigned beforeCount = frame > 0 ? counts[frame - 1] : 0;
  for (unsigned k = 0; k < count; ++k) {
    Node& node = here[k];
    node.candidate = candidates[k];
    node.logFrequency = std::log2(sampleRate / candidates[k].lag);
    double best = 0.0;
    uint8_t from = 0;
    for (unsigned j = 0; j < beforeCount; ++j) {
      const double total = before[j].total - jumpCost * std::fabs(node.logFrequency - before[j].logFrequency);
      if (j == 0 || total > best) {
        best = total;
        from = static_cast<uint8_t>(j);
      }
    }
    node.total = best + Strength(node.candidate, node.logFrequency);
    node.from = from;
  }
}

void PitchPath::Finish(std::vector<PitchCandidate>& chosen) {
  const size_t frames = counts.size();
  chosen.resize(frames);
  if (frames > 0) {
    const Node* last = nodes.data() + (frames - 1) * kStride;
    unsigned k = 0;
    for (unsigned j = 1; j < counts[frames - 1]; ++j) {
      if (last[j].total > last[k].total) k = j;
    }
    for (size_t f = frames; f-- > 0;) {
      const Node& node = nodes[f * kStride + k];
      chosen[f] = node.candidate;
      k = node.from;
    }
  }
  nodes.clear();
  counts.clear();
}

}  // namespace vowelscope
