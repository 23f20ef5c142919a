#include "analysis/Steadystretches.h"

#include <algorithm>

namespace vowelscope {

namespace {

// Whether blocks from .. from + kMinBlocks - 1 form a steady group.
bool SteadyGroup(const std::vector<FormantValue>& track, size_t from) {
  constexpr size_t n = SteadyStretchFinder::kMinBlocks;
  double lo1 = 1e300, hi1 = 0.0, lo2 = 1e300, hi2 = 0.0, sum1 = 0.0, sum2 = 0.0;
  for (size_t i = from; i < from + n; ++i) {
    const FormantValue& v = track[i];
    if (!(v.f1 > 0.0) || !(v.f2 > 0.0)) return false;
    lo1 = std::min(lo1, v.f1);
    hi1 = std::max(hi1, v.f1);
    lo2 = std::min(lo2, v.f2);
    hi2 = std::max(hi2, v.f2);
    sum1 += v.f1;
    sum2 += v.f2;
  }
  return hi1 - lo1 <= SteadyStretchFinder::kF1Range * sum1 / n && hi2 - lo2 <= SteadyStretchFinder::kF2Range * sum2 / n;
}

}  // namespace

std::vector<SteadyStretch> SteadyStretchFinder::Find(const std::vector<FormantValue>& track) {
  std::vector<SteadyStretch> found;
  if (track.size() < kMinBlocks) return found;
  size_t start = 0;
  while (start + kMinBlocks <= track.size()) {
    if (!SteadyGroup(track, start)) {
      ++start;
      continue;
    }
    size_t end = start + kMinBlocks;  // one past the stretch
    while (end < track.size() && SteadyGroup(track, end + 1 - kMinBlocks)) ++end;
    SteadyStretch s;
    s.first = start;
    s.count = end - start;
    for (size_t i = start; i < end; ++i) {
      s.f1 += track[i].f1;
      s.f2 += track[i].f2;
    }
    s.f1 /= s.count;
    s.f2 /= s.count;
    found.push_back(s);
    start = end;
  }
  return found;
}

}  // namespace vowelscope
