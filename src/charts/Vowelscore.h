#pragma once
// Practice against a target vowel: how much of the last second of voice lay inside the target's ellipse,
// and the attempts so far. An attempt is one stretch of voiced blocks; it ends at the first unvoiced
// block and is kept (its mean F1 and F2 and its own score) when it lasted long enough to be meant.
// Inside means inside the ellipse as the chart draws it (GuideEllipse), so the score agrees with what
// the learner sees. Fed with one block at a time on one thread (the window's, as the blocks arrive);
// it keeps no lock.

#include <cstddef>
#include <optional>
#include <vector>

#include "analysis/Formantvalue.h"
#include "charts/Guideellipse.h"

namespace vowelscope {

struct VowelAttempt {
  double f1 = 0.0;  // Hz, mean over the stretch
  double f2 = 0.0;
  unsigned blocks = 0;
  std::optional<double> score;  // per cent of its blocks inside the target; none without a target
};

class VowelScore {
 public:
  static constexpr unsigned kWindowBlocks = 40;     // one second of 25 ms blocks
  static constexpr unsigned kMinAttemptBlocks = 4;  // 100 ms: shorter stretches are not attempts
  static constexpr size_t kMaxAttempts = 200;       // the oldest go first

  // The ellipse blocks are judged against from now on; the last second is judged again against it.
  void SetTarget(const GuideEllipse& ellipse);
  void ClearTarget();
  bool HasTarget() const { return target.has_value(); }

  // One block; it counts as voiced when `voiced` (the caller's judgement, such as the live pitch) and
  // it has both formants.
  void Add(const FormantValue& value, bool voiced);
  // Ends a stretch in progress as an unvoiced block would (the recording stopped).
  void Finish();
  // Forgets the last second and a stretch in progress (a new recording); the attempts stay.
  void Restart();

  // Per cent of the last second's voiced blocks inside the target: none without a target or without a
  // voiced block in that second.
  std::optional<double> Score() const;
  const std::vector<VowelAttempt>& Attempts() const { return attempts; }
  void ClearAttempts() { attempts.clear(); }

 private:
  struct Block {
    FormantValue value;
    bool voiced = false;
  };

  std::optional<GuideEllipse> target;
  Block window[kWindowBlocks];
  unsigned next = 0;    // where the next block goes
  unsigned filled = 0;  // blocks in the window
  // The stretch in progress.
  unsigned runBlocks = 0;
  unsigned runInside = 0;
  double runF1 = 0.0;
  double runF2 = 0.0;
  std::vector<VowelAttempt> attempts;
};

}  // namespace vowelscope
