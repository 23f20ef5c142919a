// The main window's chart handlers: they hand the chart state to the painters of charts/ and keep the
// scroll bar and the trail in step with the recording and the playback.
#include <QPainter>
#include <QScrollBar>

#include "charts/Fzerochart.h"
#include "charts/Guiderange.h"
#include "ui/Chartboxes.h"
#include "ui/QtCanvas.h"
#include "ui/WndMain.h"

namespace vowelscope {

namespace {

void SetScrollRange(QScrollBar& bar, const FZeroScrollRange& range) {
  // With a page the last position shows the last page; the page is the thumb's size, while a click in
  // the track moves by the large change.
  if (range.pageSize > 0) {
    bar.setRange(range.minimum, std::max(range.minimum, range.maximum - range.pageSize + 1));
    bar.setPageStep(range.pageSize);
  } else {
    // The whole take fits in the chart: nothing to scroll to.
    bar.setRange(range.minimum, range.minimum);
    bar.setPageStep(TfrmMain::kFZeroLargeChange);
  }
}

}  // namespace

const Regions* TfrmMain::SelectedRegions() const {
  if (selectedRegions < 0 || selectedRegions >= regionsList.GetCount()) return nullptr;
  return regionsList.GetItem(selectedRegions);
}

void TfrmMain::InvalidateFormantBackground() {
  // The formant threshold may have changed, and with it the blocks the whole take shows.
  wholeTakeStale = true;
  formantChart.InvalidateBackground();
}

void TfrmMain::actShowWholeTakeExecute() {
  settings.SetShowWholeTake(actShowWholeTake->isChecked());
  SaveSettings();
  wholeTakeStale = true;
  pbxFormant->update();
}

void TfrmMain::UpdateWholeTake() {
  // The track belongs to the capture thread or the worker while recording or analysing: no dots
  // then, and the take's own once it is whole again.
  if (engine.IsRecording() || engine.IsAnalysing()) {
    formantChart.SetWholeTake({}, 0.0);
    return;
  }
  if (!wholeTakeStale) return;
  wholeTakeStale = false;
  if (settings.GetShowWholeTake()) {
    formantChart.SetWholeTake(*engine.GetFormantTrack(), settings.GetFormantThreshold());
  } else {
    formantChart.SetWholeTake({}, 0.0);
  }
}

void TfrmMain::actFitRangesExecute() {
  const Regions* regions = SelectedRegions();
  if (regions == nullptr || engine.IsRecording()) return;
  const std::optional<DisplayRanges> ranges = FitDisplayRanges(*regions);
  if (!ranges) return;
  settings.SetF1DisplayMin(ranges->f1Min);
  settings.SetF1DisplayMax(ranges->f1Max);
  settings.SetF2DisplayMin(ranges->f2Min);
  settings.SetF2DisplayMax(ranges->f2Max);
  SaveSettings();
  InvalidateFormantBackground();
  pbxFormant->update();
}

void TfrmMain::pbxFormantPaint(QPainter& painter) {
  // A copy, so the capture thread is held up only for the copy and never for the paint.
  const std::vector<FormantValue> trail = formantTrail.Snapshot();
  UpdateWholeTake();
  QtCanvas canvas(painter);
  formantChart.Paint(canvas, pbxFormant->width(), pbxFormant->height(), trail, settings, SelectedRegions());
}

void TfrmMain::pbxFZeroPaint(QPainter& painter) {
  const bool playing = playback.IsPlaying();
  const uint32_t position = playing ? playback.GetPosition() : 0;
  const std::shared_ptr<const FZeroResult> result = ShownFZeroResult();
  QtCanvas canvas(painter);
  FZeroChart::Paint(canvas, pbxFZero->width(), pbxFZero->height(), wavePeaks, result.get(),
                    FZeroView::FromSettings(settings, sclFZero->value(), playing, position));
}

void TfrmMain::sclFZeroScroll() { pbxFZero->update(); }

void TfrmMain::pnlFZeroResize() { RebuildWaveform(); }

void TfrmMain::RebuildWaveform() {
  // While recording the capture thread is still appending to the sound, and the chart shows no waveform
  // then anyway. The F0 worker only reads the sound, through a view of its own, so after a recording
  // the waveform is rebuilt while the analysis runs. Every new take comes through here, so the formant
  // chart takes up its whole take at its next paint (once the analysis is over).
  wholeTakeStale = true;
  if (engine.IsRecording()) return;
  const FZeroScrollRange range = FZeroChart::RebuildWaveform(waveRender, engine.GetSound(), pbxFZero->width(), wavePeaks);
  const QSignalBlocker quiet(sclFZero);
  SetScrollRange(*sclFZero, range);
  sclFZero->setValue(range.position);
  pbxFZero->update();
}

void TfrmMain::FollowLiveEnd() {
  // As a recorder's timeline: the chart keeps the newest dots in view while the bar stands at its end,
  // and stays where the user scrolled back to until the bar is brought to the end again. A bar left
  // elsewhere by the last take falls into the new, shorter range with the first value.
  const bool atEnd = sclFZero->value() >= sclFZero->maximum();
  const uint64_t frames = liveFZero->values.size() * uint64_t{Engine::GetFZeroHop(liveFZero->frameShift)};
  const FZeroScrollRange range = FZeroChart::LiveScrollRange(pbxFZero->width(), frames);
  {
    const QSignalBlocker quiet(sclFZero);
    SetScrollRange(*sclFZero, range);
    if (atEnd) sclFZero->setValue(range.position);
  }
  pbxFZero->update();
}

void TfrmMain::SetTrailForPlayback(uint32_t position) {
  formantTrail.SetForPlayback(*engine.GetFormantTrack(), position);
  pbxFormant->update();
}

void TfrmMain::FollowPlayback(uint32_t position) {
  const std::optional<int> scroll =
      FZeroChart::FollowPlayback(pbxFZero->width(), sclFZero->value(), wavePeaks.size(), position);
  if (scroll) {
    const QSignalBlocker quiet(sclFZero);
    sclFZero->setValue(*scroll);
  }
  pbxFZero->update();
}

}  // namespace vowelscope
