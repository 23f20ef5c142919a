#pragma once
// The held vowels of a take: stretches of blocks whose F1 and F2 stay put, as a speaker produces when
// asked to sustain each vowel for a while. Steady means that every kMinBlocks (200 ms) of the stretch,
// taken together, have both formants and keep each formant's range (highest less lowest) within a share
// of its mean there. A stretch begins with such a group and grows while the group ending at its next
// block is steady too; a jump to another vowel or a glide (which moves more than that share in 200 ms)
// ends it, and so does a block without formants.

#include <cstddef>
#include <vector>

#include "analysis/Formantvalue.h"

namespace vowelscope {

struct SteadyStretch {
  size_t first = 0;  // index of its first block in the track
  size_t count = 0;  // blocks
  double f1 = 0.0;   // Hz, mean
  double f2 = 0.0;
};

class SteadyStretchFinder {
 public:
  static constexpr size_t kMinBlocks = 8;   // 200 ms of 25 ms blocks
  static constexpr double kF1Range = 0.15;  // of the mean F1 of the group
  static constexpr double kF2Range = 0.10;

  // The stretches of the track in order; empty when none is steady for long enough.
  static std::vector<SteadyStretch> Find(const std::vector<FormantValue>& track);
};

}  // namespace vowelscope
