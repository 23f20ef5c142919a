// The main window's practice commands: the live pitch of a recording, shown in the readout beside the
// level meter and as F0 dots while the take is still being recorded; the target vowel, picked from its
// list or by a click in its ellipse, with the recording's score against it and its attempts.
#include <QMouseEvent>

#include <algorithm>
#include <cmath>
#include <limits>

#include "charts/Guideellipse.h"
#include "ui/Chartboxes.h"
#include "ui/Pitchreadout.h"
#include "ui/Targetpanel.h"
#include "ui/WndMain.h"
#include "ui/Wndmessages.h"

namespace vowelscope {

namespace {

// One live value per recorded block; the chart turns this into the Engine's 275-sample block.
constexpr double kLiveFrameSeconds = 0.025;
constexpr double kCentiHertz = 100.0;

// Hands the chart's left clicks to the window; the paint box itself only paints.
class ChartClick : public QObject {
 public:
  ChartClick(QObject* parent, std::function<void(const QPoint&)> onClick)
      : QObject(parent), onClick(std::move(onClick)) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonPress) {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::LeftButton) onClick(mouse->position().toPoint());
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void(const QPoint&)> onClick;
};

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
  // The block's pitch tells whether its formants were voice.
  ScoreBlock(centiHertz > 0);
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

void TfrmMain::InstallChartClick() {
  pbxFormant->installEventFilter(
      new ChartClick(pbxFormant, [this](const QPoint& at) { RunCommand([&] { pbxFormantClick(at); }); }));
}

void TfrmMain::pbxFormantClick(const QPoint& position) {
  const Regions* regions = SelectedRegions();
  if (regions == nullptr) return;
  const int width = pbxFormant->width() - FormantChart::kPlotLeft;
  const int height = pbxFormant->height() - FormantChart::kPlotTop;
  const Point pixel{position.x() - FormantChart::kPlotLeft, position.y() - FormantChart::kPlotTop};
  if (pixel.x < 0 || pixel.y < 0 || pixel.x >= width || pixel.y >= height) return;
  // A click beside every ellipse keeps the target: a slip of the mouse should not lose it, and the
  // list offers "none".
  const int region = GuideEllipse::RegionAt(*regions, FormantView::FromSettings(settings), width, height, pixel);
  if (region >= 0) PickTarget(region);
}

void TfrmMain::PickTarget(int regionIndex) {
  SetTargetRegion(regionIndex);
  const Regions* regions = SelectedRegions();
  const int target = formantChart.GetTarget();
  settings.SetCurrentTarget(regions != nullptr && target >= 0 ? regions->GetRegion(target)->Caption : std::string());
  // The target is remembered with its set, also the set a first start shows without having stored it.
  if (regions != nullptr) settings.SetCurrentRegions(regionsList.GetSelectorCaption(selectedRegions));
  SaveSettings();
}

void TfrmMain::RestoreTarget() {
  const Regions* regions = SelectedRegions();
  const std::string& caption = settings.GetCurrentTarget();
  if (regions == nullptr || caption.empty()) return;
  for (int i = 0; i < regions->GetRegionCount(); ++i) {
    const FrequencyRegion* region = regions->GetRegion(i);
    if (region != nullptr && region->Enabled && region->Caption == caption) {
      SetTargetRegion(i);
      return;
    }
  }
}

void TfrmMain::SetTargetRegion(int regionIndex) {
  const Regions* regions = SelectedRegions();
  const FrequencyRegion* region = regions != nullptr ? regions->GetRegion(regionIndex) : nullptr;
  if (region == nullptr || !region->Enabled) regionIndex = -1;
  formantChart.SetTarget(regionIndex);
  pnlTarget->SetTarget(regionIndex);
  RefreshScoreTarget();
  ShowScore();
  pbxFormant->update();
}

void TfrmMain::ResetTarget() {
  pnlTarget->SetRegions(SelectedRegions());
  SetTargetRegion(-1);
}

void TfrmMain::RefreshScoreTarget() {
  const Regions* regions = SelectedRegions();
  const int target = formantChart.GetTarget();
  const FrequencyRegion* region = regions != nullptr && target >= 0 ? regions->GetRegion(target) : nullptr;
  // Before the chart has a size the ellipse is judged on a square plot: the same shape in Hz, only
  // its pixel rounding differs.
  int width = pbxFormant->width() - FormantChart::kPlotLeft;
  int height = pbxFormant->height() - FormantChart::kPlotTop;
  if (width < 1 || height < 1) width = height = 1000;
  GuideEllipse ellipse;
  if (region != nullptr && GuideEllipse::Make(*region, FormantView::FromSettings(settings), width, height, ellipse)) {
    vowelScore.SetTarget(ellipse);
  } else {
    vowelScore.ClearTarget();
  }
}

void TfrmMain::OnFormantBlock(const FormantValue& value) {
  if (!engine.IsRecording()) return;
  // Each block's pitch message follows its formant message; should one go missing, its block counts
  // as unvoiced rather than being paired with the next block's pitch.
  if (pendingBlock) ScoreBlock(false);
  pendingBlock = value;
}

void TfrmMain::ScoreBlock(bool voiced) {
  if (!pendingBlock) return;
  vowelScore.Add(*pendingBlock, voiced);
  pendingBlock.reset();
  ShowScore();
}

void TfrmMain::ShowScore() {
  pnlTarget->ShowScore(vowelScore);
  const std::vector<VowelAttempt>& attempts = vowelScore.Attempts();
  std::vector<FormantMark> marks;
  marks.reserve(attempts.size());
  for (size_t i = 0; i < attempts.size(); ++i) {
    marks.push_back(FormantMark{attempts[i].f1, attempts[i].f2, static_cast<int>(i + 1)});
  }
  formantChart.SetMarks(std::move(marks));
}

void TfrmMain::ClearAttempts() {
  vowelScore.ClearAttempts();
  ShowScore();
  pbxFormant->update();
}

}  // namespace vowelscope
