#pragma once
// One pitch per frame through a run of voiced frames. Each frame offers a few candidate periods; taken
// alone, the strongest of them is now and then a multiple of the true period (a subharmonic whose peak
// happens to be a little higher), and a track that follows the frame-by-frame winner jumps an octave
// down and back. The path weighs every candidate's strength, with a small premium per octave of
// frequency (of two near-equal peaks the higher frequency is the period, the lower one its multiple),
// against a cost for every octave the pitch moves from one frame to the next, and keeps the sequence
// with the best total (a Viterbi search). Glides and vibrato move a few cents per frame and cost next to
// nothing; a lone octave jump costs more than it gains.
// Runs on the worker thread of the F0 pass.

#include <cstdint>
#include <vector>

#include "analysis/Pitchcandidates.h"

namespace vowelscope {

class PitchPath {
 public:
  // frameSeconds scales the jump cost so that a jump per second costs the same at any frame shift.
  PitchPath(double sampleRate, double frameSeconds);

  // Strength of a candidate alone: its correlation, the frequency bias of the score and the octave
  // premium.
  double Strength(const PitchCandidate& candidate) const;

  // Appends a frame with at least one candidate to the run.
  void Add(const PitchCandidate* candidates, unsigned count);
  unsigned Frames() const { return static_cast<unsigned>(counts.size()); }

  // The chosen candidate of every frame of the run, in order; the run is then empty again.
  void Finish(std::vector<PitchCandidate>& chosen);

 private:
  double Strength(const PitchCandidate& candidate, double logFrequency) const;

  struct Node {
    PitchCandidate candidate;
    double logFrequency = 0.0;
    double total = 0.0;  // best total of a path ending here
    uint8_t from = 0;    // the node of the previous frame on that path
  };

  double sampleRate;
  double jumpCost;  // per octave between neighbouring frames
  std::vector<Node> nodes;      // kMaxCandidates per frame
  std::vector<uint8_t> counts;  // candidates per frame
};

}  // namespace vowelscope
