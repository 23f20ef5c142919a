#pragma once
// The trail of the formant chart: the newest measurements, newest first, as the chart draws them. The
// capture thread adds a measurement per block while the user-interface thread paints; each side holds
// the trail's own lock only for a copy of its few values, so neither waits on the other for long.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "analysis/Formantvalue.h"

namespace vowelscope {

class FormantTrail {
 public:
  explicit FormantTrail(size_t length);

  // Puts a measurement at the front and drops the oldest (the capture thread).
  void Add(const FormantValue& value);
  // The blocks of `track` up to a playback position in frames, newest first.
  void SetForPlayback(const std::vector<FormantValue>& track, uint32_t position);
  // Every entry back to zero: nothing is drawn.
  void Clear();
  // Moves every entry one place back, adding an empty one at the front: called at the pace of the
  // blocks after a recording ends, it fades the trail out instead of leaving it lit.
  void Fade();

  std::vector<FormantValue> Snapshot() const;
  FormantValue Newest() const;
  // True when no entry holds a measurement.
  bool IsEmpty() const;

 private:
  mutable std::mutex lock;
  std::vector<FormantValue> values;
};

}  // namespace vowelscope
