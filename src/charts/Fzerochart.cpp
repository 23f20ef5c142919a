#include "charts/Fzerochart.h"

#include <algorithm>
#include <cmath>
#include <string>

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
const Color kNoteLineGrey(48, 48, 48);
const Color kOctaveLineGrey(72, 72, 72);
const Color kNoteNameGrey(120, 120, 120);
constexpr int kAxisMargin = 2;
constexpr int kMajorTickLength = 8;
constexpr int kMinorTickLength = 6;
constexpr int kAxisFontSize = 10;
constexpr int kNoteNameFontSize = 8;

// Playback position in columns at the chart's scale.
int64_t ColumnOf(int plotWidth, uint64_t position) {
  return static_cast<int64_t>(static_cast<uint64_t>(plotWidth) * position / FZeroChart::kWindowFrames);
}

// Notes by MIDI number: A4 (440 Hz) is 69, C4 is 60.
constexpr int kNoteA4 = 69;
constexpr int kHighestNote = 200;  // far above any display range the dialog allows; bounds the loops

double NoteFrequency(int note) { return 440.0 * std::pow(2.0, (note - kNoteA4) / 12.0); }

double NoteNumber(double frequency) { return kNoteA4 + 12.0 * std::log2(frequency / 440.0); }

std::string NoteLabel(int note) {
  static const char* const kNames[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
  return std::string(kNames[note % 12]) + std::to_string(note / 12 - 1);
}

Font LabelFont(const Canvas& canvas, int size, Color color) {
  Font font;
  font.name = canvas.GetDefaultFontName();
  font.size = size;
  font.color = color;
  return font;
}

// The notes inside the semitone axis's range and which of them are labelled.
struct SemitoneTicks {
  int firstNote = 0;
  int lastNote = -1;
  int labelEvery = 12;      // semitones between labelled notes; every C is always one of them
  bool minorTicks = false;  // a short tick at every semitone, when they stand far enough apart
  bool IsLabelled(int note) const { return note % labelEvery == 0; }
};

SemitoneTicks SemitoneTicksOf(const FZeroView& view, int height, int labelHeight) {
  SemitoneTicks ticks;
  const double lo = std::max<double>(std::min(view.displayMin, view.displayMax), FZeroView::kSemitoneAxisFloor);
  const double hi = std::max<double>(std::max(view.displayMin, view.displayMax), FZeroView::kSemitoneAxisFloor);
  if (!(hi > lo) || height <= 0) return ticks;
  ticks.firstNote = std::max(0, static_cast<int>(std::ceil(NoteNumber(lo) - 1e-9)));
  ticks.lastNote = std::min(kHighestNote, static_cast<int>(std::floor(NoteNumber(hi) + 1e-9)));
  const double pixelsPerSemitone = height / (NoteNumber(hi) - NoteNumber(lo));
  // Labels at least two label heights apart; the steps divide an octave (or are whole octaves), so the
  // labelled notes repeat in every octave and always include its C.
  ticks.labelEvery = 12;
  for (int step : {1, 2, 3, 4, 6}) {
    if (step * pixelsPerSemitone >= 2.0 * labelHeight) {
      ticks.labelEvery = step;
      break;
    }
  }
  while (ticks.labelEvery * pixelsPerSemitone < 2.0 * labelHeight && ticks.labelEvery < kHighestNote) {
    ticks.labelEvery += 12;
  }
  ticks.minorTicks = pixelsPerSemitone >= 3.0;
  return ticks;
}

// The dotted line and the name of each labelled note across the plot, under the waveform and the dots.
void DrawNoteLines(Canvas& canvas, const Rect& plot, const FZeroView& view, const SemitoneTicks& ticks) {
  FontReminder fontReminder(canvas);
  PenReminder penReminder(canvas);
  canvas.SetFont(LabelFont(canvas, kNoteNameFontSize, kNoteNameGrey));
  const BackgroundMode previousMode = canvas.GetBackgroundMode();
  canvas.SetBackgroundMode(BackgroundMode::Transparent);
  for (int note = ticks.firstNote; note <= ticks.lastNote; ++note) {
    if (!ticks.IsLabelled(note)) continue;
    const std::optional<int> row = view.RowOf(NoteFrequency(note), plot.Height());
    if (!row) continue;
    const int y = plot.top + *row;
    canvas.SetPen(Pen{note % 12 == 0 ? kOctaveLineGrey : kNoteLineGrey, PenMode::Copy, PenStyle::Dot, 1});
    canvas.MoveTo(plot.left, y);
    canvas.LineTo(plot.right, y);
    const std::string name = NoteLabel(note);
    const Size extent = canvas.TextExtent(name);
    if (y - extent.cy >= plot.top) canvas.TextOut(plot.left + 2, y - extent.cy, name);
  }
  canvas.SetBackgroundMode(previousMode);
}

// Ticks at the semitones and the frequencies of the labelled notes in whole hertz, in the band left of
// the plot; a label that would not lie wholly inside the band is left out, as on the linear axis.
void DrawSemitoneAxis(Canvas& canvas, const Rect& band, const FZeroView& view, const SemitoneTicks& ticks) {
  FontReminder fontReminder(canvas);
  PenReminder penReminder(canvas);
  canvas.SetPen(Pen{kAxisGrey, PenMode::Copy, PenStyle::Solid, 1});
  canvas.SetFont(LabelFont(canvas, kAxisFontSize, Color(0, 0, 0)));
  const BackgroundMode previousMode = canvas.GetBackgroundMode();
  canvas.SetBackgroundMode(BackgroundMode::Transparent);
  for (int note = ticks.firstNote; note <= ticks.lastNote; ++note) {
    const bool labelled = ticks.IsLabelled(note);
    if (!labelled && !ticks.minorTicks) continue;
    const std::optional<int> row = view.RowOf(NoteFrequency(note), band.Height());
    if (!row) continue;
    const int y = band.top + *row;
    const int length = labelled ? kMajorTickLength : kMinorTickLength;
    canvas.MoveTo(band.right - kAxisMargin - length, y);
    canvas.LineTo(band.right - kAxisMargin, y);
    if (!labelled) continue;
    const std::string label = std::to_string(std::lround(NoteFrequency(note)));
    const Size extent = canvas.TextExtent(label);
    const Point corner{band.right - kAxisMargin - length - extent.cx, y - extent.cy / 2};
    if (corner.x >= band.left && corner.y >= band.top && corner.y + extent.cy < band.bottom) {
      canvas.TextOut(corner.x, corner.y, label);
    }
  }
  canvas.SetBackgroundMode(previousMode);
}

int LabelHeight(Canvas& canvas) {
  FontReminder fontReminder(canvas);
  canvas.SetFont(LabelFont(canvas, kAxisFontSize, Color(0, 0, 0)));
  return canvas.TextExtent("0").cy;
}

}  // namespace

FZeroView FZeroView::FromSettings(const Settings& settings, int scrollPosition, bool playing,
                                  uint32_t playbackPosition) {
  FZeroView view{settings.GetF0DisplayMin(), settings.GetF0DisplayMax(), scrollPosition, playing, playbackPosition};
  view.semitoneAxis = settings.GetFZeroSemitoneAxis();
  return view;
}

std::optional<int> FZeroView::RowOf(double frequency, int height) const {
  if (!semitoneAxis) {
    const double range = static_cast<double>(displayMax) - displayMin;
    if (range == 0.0) return std::nullopt;
    return TruncToPixel(height - height * (frequency - displayMin) / range);
  }
  const double lo = std::max<double>(displayMin, kSemitoneAxisFloor);
  const double hi = std::max<double>(displayMax, kSemitoneAxisFloor);
  if (lo == hi || !(frequency > 0.0)) return std::nullopt;
  return TruncToPixel(height - height * std::log(frequency / lo) / std::log(hi / lo));
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
    if (view.semitoneAxis) DrawNoteLines(canvas, plot, view, SemitoneTicksOf(view, h, LabelHeight(canvas)));

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
    const uint64_t hop = result != nullptr ? Engine::GetFZeroHop(result->frameShift) : 0;
    if (hop > 0 && view.RowOf(view.displayMax, h) && p >= 0) {
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
        const std::optional<int> row = view.RowOf(static_cast<double>(value.frequency), h);
        if (!row) continue;
        const int x = static_cast<int>(column - p);
        const int y = *row;
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

  if (view.semitoneAxis) {
    const Rect band{0, kPlotTop, kPlotLeft, height};
    DrawSemitoneAxis(canvas, band, view, SemitoneTicksOf(view, band.Height(), LabelHeight(canvas)));
    return;
  }
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
  FZeroScrollRange range = LiveScrollRange(paintWidth, length);
  range.position = 0;
  return range;
}

FZeroScrollRange FZeroChart::LiveScrollRange(int paintWidth, uint64_t frames) {
  const int w = std::max(GetPlotWidth(paintWidth), 0);
  const uint64_t columns = static_cast<uint64_t>(w) * frames / kWindowFrames;
  FZeroScrollRange range;
  range.maximum = static_cast<int>(columns);
  range.pageSize = static_cast<uint64_t>(w) <= columns ? w : 0;  // a page longer than the range is not applied
  range.position = range.pageSize > 0 ? range.maximum - range.pageSize + 1 : 0;
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
