#include "charts/Vowelscore.h"

namespace vowelscope {

void VowelScore::SetTarget(const GuideEllipse& ellipse) { target = ellipse; }

void VowelScore::ClearTarget() { target.reset(); }

void VowelScore::Add(const FormantValue& value, bool voiced) {
  voiced = voiced && value.f1 > 0.0 && value.f2 > 0.0;
  window[next] = Block{value, voiced};
  next = (next + 1) % kWindowBlocks;
  if (filled < kWindowBlocks) ++filled;
  if (!voiced) {
    Finish();
    return;
  }
  ++runBlocks;
  runF1 += value.f1;
  runF2 += value.f2;
  if (target && target->Contains(value)) ++runInside;
}

void VowelScore::Finish() {
  if (runBlocks >= kMinAttemptBlocks) {
    VowelAttempt attempt;
    attempt.f1 = runF1 / runBlocks;
    attempt.f2 = runF2 / runBlocks;
    attempt.blocks = runBlocks;
    if (target) attempt.score = 100.0 * runInside / runBlocks;
    if (attempts.size() == kMaxAttempts) attempts.erase(attempts.begin());
    attempts.push_back(attempt);
  }
  runBlocks = runInside = 0;
  runF1 = runF2 = 0.0;
}

void VowelScore::Restart() {
  runBlocks = runInside = 0;
  runF1 = runF2 = 0.0;
  next = filled = 0;
}

std::optional<double> VowelScore::Score() const {
  if (!target) return std::nullopt;
  unsigned voiced = 0;
  unsigned inside = 0;
  for (unsigned i = 0; i < filled; ++i) {
    if (!window[i].voiced) continue;
    ++voiced;
    if (target->Contains(window[i].value)) ++inside;
  }
  if (voiced == 0) return std::nullopt;
  return 100.0 * inside / voiced;
}

}  // namespace vowelscope
