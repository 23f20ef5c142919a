#include "charts/Fzerochart.h"

#include <algorithm>

#include "analysis/Fzero.h"
#include "charts/Axisdrawer.h"
#include "charts/Drawutilities.h"
#include "config/Settings.h"
#include "engine/Engine.h"
#include "sound/Soundstream.h"

namespace vowelscope {

namespace {

const Color kAxisGrey(128, 128, 128);
const Color kWaveGrey(64, 64, 64);

// Playback position in columns at the chart's scale.
int64_t ColumnOf(int plotWidth, uint64_t position) {
  return static_cast<int64_t>(static_cast<uint64_t>(plotWidth) * position / FZeroChart::kWindowFrames);
}

}  // namespace

FZeroView FZeroView::FromSettings(const Settings& settings, int scrollPosition, bool playing,
                                  uint32_t playbackPosition) {
  return FZeroView{settings.GetF0DisplayMin(), settings.GetF0DisplayMax(), scrollPosition, playing, playbackPosition};
}

void FZeroChart::Paint(Canvas& canvas, int width, int height, const std::vector<WaveRender::PeakType>& peaks,
                       const FZeroResult* result, const FZeroView& view) {
  canvas.SetBrush(Brush{canvas.GetButtonFaceColor(), BrushStyle::Solid});
  canvas.FillRect(Rect{0, 0, width, height});

  const Rect plot{kPlotLeft, kPlotTop, width, height};
  const int w = plot.Width();
  const int h = plot.Height();
  const int p = view.scrollPosition;
  if (w > 0 && h > 0) {
    ClipCanvas clip(canvas, plot);
    canvas.SetBrush(Brush{Color(0, 0, 0), BrushStyle::Solid});
    canvas.FillRect(plot);

    // The cursor is drawn with the waveform's pen, so select it even without a waveform.
    canvas.SetPen(Pen{kWaveGrey, PenMode::Copy, PenStyle::Solid, 1});
    const int middle = h / 2;
    if (!peaks.empty()) {
      canvas.MoveTo(plot.left, plot.top + middle);
      const int64_t last = std::min<int64_t>(static_cast<int64_t>(p) + w, static_cast<int64_t>(peaks.size()));
      for (int64_t c = std::max(p, 0); c < last; ++c) {
        const int x = plot.left + static_cast<int>(c - p);
        const WaveRender::PeakType& peak = peaks[static_cast<size_t>(c)];
        const int y1 = TruncToPixel(middle - h * static_cast<double>(peak.minimum) / 65535.0);
        const int y2 = TruncToPixel(middle - h * static_cast<double>(peak.maximum) / 65535.0);
        canvas.LineTo(x, plot.top + y1);
        canvas.LineTo(x, plot.top + y2);
      }
    }

    if (view.playing) {
      const int x = static_cast<int>(std::clamp<int64_t>(ColumnOf(w, view.playbackPosition) - p, -1, w));
      canvas.MoveTo(plot.left + x, plot.top);
      canvas.LineTo(plot.left + x, plot.bottom);
    }

    // Frame k of the track lies k hops (whole samples, as the F0 pass steps) into the sound, so the
    // dots are placed by samples like the waveform and the cursor, and stay on their sound however
    // long the recording. A shift of no whole sample (or an empty display range) leaves them out.
    const double range = static_cast<double>(view.displayMax) - view.displayMin;
    const uint64_t hop = result != nullptr ? Engine::GetFZeroHop(result->frameShift) : 0;
    if (hop > 0 && range != 0.0 && p >= 0) {
      const uint64_t count = result->values.size();
      const uint64_t width = static_cast<uint64_t>(w);
      // The first frame whose column is at least p.
      const uint64_t first = (static_cast<uint64_t>(p) * kWindowFrames + width * hop - 1) / (width * hop);
      canvas.SetBrush(Brush{Color(255, 0, 0), BrushStyle::Solid});
      for (uint64_t i = first; i < count; ++i) {
        const int64_t column = ColumnOf(w, i * hop);
        if (column >= static_cast<int64_t>(p) + w) break;
        const FZeroValue& value = result->values[static_cast<size_t>(i)];
        if (static_cast<double>(value.score) < kVoicedScore) continue;
        const int x = static_cast<int>(column - p);
        const int y = TruncToPixel(h - h * (static_cast<double>(value.frequency) - view.displayMin) / range);
        canvas.FillRect(Rect{plot.left + x - 2, plot.top + y - 2, plot.left + x + 2, plot.top + y + 2});
      }
    }
  }

  AxisDrawer time;
  const double t0 = w > 0 ? p * kWindowSeconds / w : 0.0;
  time.SetRange(t0 * 1000.0, (t0 + kWindowSeconds) * 1000.0);
  time.SetInterval(100);
  time.SetMajorEvery(5);
  time.SetPosition(AxisPosition::Top);
  time.SetMajorTickLength(8);
  time.SetMinorTickLength(6);
  time.SetMargin(2);
  time.SetTickColor(kAxisGrey);
  time.DrawAxis(canvas, Rect{kPlotLeft, 0, width, kPlotTop});

  AxisDrawer frequency;
  frequency.SetRange(view.displayMin, view.displayMax);
  frequency.SetInterval(100);
  frequency.SetMajorEvery(2);
  frequency.SetPosition(AxisPosition::Left);
  frequency.SetReversed(true);
  frequency.SetMajorTickLength(8);
  frequency.SetMinorTickLength(6);
  frequency.SetMargin(2);
  frequency.SetTickColor(kAxisGrey);
  frequency.DrawAxis(canvas, Rect{0, kPlotTop, kPlotLeft, height});
}

FZeroScrollRange FZeroChart::RebuildWaveform(WaveRender& render, SoundStream* sound, int paintWidth,
                                             std::vector<WaveRender::PeakType>& peaks) {
  const int w = std::max(GetPlotWidth(paintWidth), 0);
  const uint64_t length = sound != nullptr ? sound->GetLength() : 0;
  const uint64_t columns = static_cast<uint64_t>(w) * length / kWindowFrames;
  // Stale peaks of an earlier recording must not show where a failed read stops the rendering.
  peaks.assign(static_cast<size_t>(columns), WaveRender::PeakType{});
  if (columns > 0) {
    sound->Seek(0, kSeekBegin);
    render.Render(*sound, peaks.size(), peaks.data());
  }
  FZeroScrollRange range;
  range.maximum = static_cast<int>(columns);
  range.pageSize = static_cast<uint64_t>(w) <= columns ? w : 0;  // a page longer than the range is not applied
  return range;
}

std::optional<int> FZeroChart::FollowPlayback(int paintWidth, int scrollPosition, size_t columns, uint32_t position) {
  const int w = GetPlotWidth(paintWidth);
  if (w <= 0) return std::nullopt;
  const int64_t x = ColumnOf(w, position);
  if (x >= scrollPosition && x < static_cast<int64_t>(scrollPosition) + w) return std::nullopt;
  return static_cast<int>(std::clamp<int64_t>(x - w / 4, 0, static_cast<int64_t>(columns)));
}

}  // namespace vowelscope
