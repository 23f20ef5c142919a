// The main window's practice commands: the live pitch of a recording, shown in the readout beside the
// level meter and as F0 dots while the take is still being recorded.
#include <cmath>
#include <limits>

#include "ui/Chartboxes.h"
#include "ui/Pitchreadout.h"
#include "ui/WndMain.h"
#include "ui/Wndmessages.h"

namespace vowelscope {

namespace {

// One live value per recorded block; the chart turns this into the Engine's 275-sample block.
constexpr double kLiveFrameSeconds = 0.025;
constexpr double kCentiHertz = 100.0;

}  // namespace

void TfrmMain::OnLivePitch(FZeroValue& value) {
  const double frequency = static_cast<double>(value.frequency);
  // A message carries an int: an unvoiced block, or one no F0 range could give, posts 0.
  const bool voiced = std::isfinite(frequency) && frequency > 0.0 &&
                      frequency * kCentiHertz < static_cast<double>(std::numeric_limits<int>::max());
  Post(UM_LIVE_PITCH, voiced ? static_cast<int>(std::lround(frequency * kCentiHertz)) : 0);
}

void TfrmMain::OnLivePitchMessage(int centiHertz) {
  // A value still queued from a recording that has ended belongs to no take on screen.
  if (!engine.IsRecording() || liveFZero == nullptr) return;
  const double frequency = centiHertz / kCentiHertz;
  FZeroValue value;
  if (centiHertz > 0) {
    value.frequency = static_cast<float>(frequency);
    // The live analysis has already judged the block voiced (the message carries no score), so it
    // scores as sure as can be: the chart's threshold in float would fall just below its own double.
    value.score = 1.0f;
  }
  liveFZero->values.push_back(value);
  pnlPitch->SetPitch(frequency);
  FollowLiveEnd();
}

void TfrmMain::ClearLivePitch() {
  liveFZero = std::make_shared<FZeroResult>(kLiveFrameSeconds, 0);
  pnlPitch->Clear();
}

std::shared_ptr<const FZeroResult> TfrmMain::ShownFZeroResult() const {
  // The last take's dots stay off from the start of a recording; its live dots show until the full pass
  // over the take reports and replaces them.
  if (engine.IsRecording() || analysisPending) return liveFZero;
  return engine.GetFZeroResult();
}

}  // namespace vowelscope
