#include "charts/Fzerochart.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <optional>

#include "RecordingCanvas.h"
#include "analysis/Fzero.h"
#include "charts/Waverender.h"
#include "sound/Soundstream.h"

namespace vowelscope {
namespace {

using testing::DrawOp;
using testing::RecordingCanvas;

// 16-bit mono samples served in reads of at most maxRead frames; read number failAt (counting from 0)
// fails. Every read's requested size is kept.
class SampleStream : public SoundStream {
 public:
  explicit SampleStream(std::vector<int16_t> samples, unsigned maxRead = ~0u, int failAt = -1)
      : samples(std::move(samples)), maxRead(maxRead), failAt(failAt) {
    format.SetKind(PcmSigned);
    format.SetChannels(1);
    format.SetSampleRate(11025);
    format.SetBitsPerSample(16);
    canRead = true;
    length = static_cast<uint32_t>(this->samples.size());
  }
  bool Read(void* buffer, unsigned frames, int* framesRead) override {
    requests.push_back(frames);
    if (static_cast<int>(requests.size()) - 1 == failAt) return false;
    const unsigned n = std::min({frames, maxRead, static_cast<unsigned>(samples.size() - position)});
    std::memcpy(buffer, samples.data() + position, n * sizeof(int16_t));
    position += n;
    if (framesRead) *framesRead = static_cast<int>(n);
    return true;
  }
  bool Write(const void*, unsigned, int*) override { return false; }
  bool Seek(int offset, int origin) override {
    if (origin != 0 || offset < 0 || static_cast<size_t>(offset) >= samples.size()) return false;
    position = static_cast<size_t>(offset);
    return true;
  }
  unsigned Tell() override { return static_cast<unsigned>(position); }

  std::vector<unsigned> requests;

 private:
  std::vector<int16_t> samples;
  size_t position = 0;
  unsigned maxRead;
  int failAt;
};

// Sample i is +-100 i, the sign alternating, so each column's extremes name its first and last samples.
std::vector<int16_t> Alternating(int count) {
  std::vector<int16_t> samples(count);
  for (int i = 0; i < count; ++i) samples[i] = static_cast<int16_t>(i % 2 ? -100 * i : 100 * i);
  return samples;
}

using Peak = WaveRender::PeakType;

TEST(WaveRender, ColumnsSplitTheRecordingAtRoundedBoundariesHalvesUp) {
  // 10 frames in 4 columns: boundaries round(0, 2.5, 5, 7.5, 10) = 0, 3, 5, 8, 10.
  for (unsigned maxRead : {~0u, 1u, 3u}) {  // one read, or columns straddling short reads
    SampleStream stream(Alternating(10), maxRead);
    std::vector<Peak> peaks(4);
    WaveRender render;
    EXPECT_TRUE(render.Render(stream, peaks.size(), peaks.data()));
    EXPECT_EQ(peaks, (std::vector<Peak>{{-100, 200}, {-300, 400}, {-700, 600}, {-900, 800}})) << maxRead;
    EXPECT_EQ(render.GetFormat(), stream.GetFormat());
  }
}

TEST(WaveRender, ColumnsWithoutFramesAreSilentAndAnEmptyStreamRendersZeros) {
  SampleStream stream(Alternating(2));
  std::vector<Peak> peaks(4, Peak{5, 5});
  WaveRender render;
  EXPECT_TRUE(render.Render(stream, peaks.size(), peaks.data()));
  // Boundaries round(0, 0.5, 1, 1.5, 2) = 0, 1, 1, 2, 2.
  EXPECT_EQ(peaks, (std::vector<Peak>{{0, 0}, {0, 0}, {-100, -100}, {0, 0}}));

  SampleStream empty({});
  std::vector<Peak> none(3, Peak{5, 5});
  EXPECT_TRUE(render.Render(empty, none.size(), none.data()));
  EXPECT_EQ(none, std::vector<Peak>(3));
}

TEST(WaveRender, FailedReadStopsAndLeavesTheRemainingColumnsAlone) {
  SampleStream stream(Alternating(12), 4, /*failAt=*/1);
  std::vector<Peak> peaks(6, Peak{7, 7});
  WaveRender render;
  EXPECT_FALSE(render.Render(stream, peaks.size(), peaks.data()));
  // Frames 0-3 arrived: columns 0 and 1 (two frames each) are complete; column 2 never finished.
  EXPECT_EQ(peaks, (std::vector<Peak>{{-100, 0}, {-300, 200}, {7, 7}, {7, 7}, {7, 7}, {7, 7}}));

  // A stream that ends before its length ends the rendering the same way instead of waiting forever.
  SampleStream shortStream(Alternating(12), 0);
  std::vector<Peak> untouched(3, Peak{7, 7});
  EXPECT_FALSE(render.Render(shortStream, untouched.size(), untouched.data()));
  EXPECT_EQ(untouched, std::vector<Peak>(3, Peak{7, 7}));
}

TEST(WaveRender, OnlySixteenBitSoundIsRendered) {
  SampleStream stream(Alternating(8));
  SoundFormat format = stream.GetFormat();
  format.SetBitsPerSample(8);
  class EightBit : public SampleStream {
   public:
    EightBit(const SoundFormat& f) : SampleStream(Alternating(8)) { format = f; }
  } eightBit(format);
  std::vector<Peak> peaks(2, Peak{7, 7});
  WaveRender render;
  EXPECT_FALSE(render.Render(eightBit, peaks.size(), peaks.data()));
  EXPECT_EQ(peaks, std::vector<Peak>(2, Peak{7, 7}));
  EXPECT_TRUE(eightBit.requests.empty());
}

TEST(WaveRender, ReadsOnceThroughTheFixedBufferEvenForAColumnLongerThanIt) {
  const int frames = 5000000;  // more than the 4194304 frames the 8 MiB buffer holds
  std::vector<int16_t> samples(frames, 0);
  samples[10] = -32768;
  samples[frames - 2] = 32767;
  SampleStream stream(std::move(samples));
  Peak peak{};
  WaveRender render;
  EXPECT_TRUE(render.Render(stream, 1, &peak));
  EXPECT_EQ(peak, (Peak{-32768, 32767}));
  EXPECT_EQ(stream.requests, (std::vector<unsigned>{4194304u, static_cast<unsigned>(frames - 4194304)}));
}

// The main window's F0 paint box at its design size: a plot of 870 x 152 pixels.
constexpr int kWidth = 910;
constexpr int kHeight = 182;
constexpr int kPlotW = 870;
constexpr int kPlotH = 152;

TEST(FZeroChart, OneSecondInAnEightHundredSeventyPixelPlotIsFourHundredThirtyFiveColumns) {
  SampleStream second(Alternating(11025));
  WaveRender render;
  std::vector<Peak> peaks(3, Peak{1, 1});
  EXPECT_EQ(FZeroChart::RebuildWaveform(render, &second, kWidth, peaks), (FZeroScrollRange{0, 435, 0, 0}));
  ASSERT_EQ(peaks.size(), 435u);
  EXPECT_EQ(peaks[0], (Peak{-2300, 2400}));  // frames 0 ... 24: 25.35 frames rounded to 25

  struct Case {
    int frames;
    FZeroScrollRange range;
  } cases[] = {
      {22050, {0, 870, 870, 0}},  // exactly one page
      {33075, {0, 1305, 870, 0}},
      {0, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SampleStream stream(std::vector<int16_t>(c.frames, 1));
    EXPECT_EQ(FZeroChart::RebuildWaveform(render, &stream, kWidth, peaks), c.range) << c.frames;
    EXPECT_EQ(peaks.size(), static_cast<size_t>(c.range.maximum));
  }
  EXPECT_EQ(FZeroChart::RebuildWaveform(render, nullptr, kWidth, peaks), (FZeroScrollRange{}));
  EXPECT_TRUE(peaks.empty());
}

TEST(FZeroChart, LiveScrollRange_IsTheWaveformsRangeWithThePositionAtTheLastPage) {
  struct Case {
    uint64_t frames;
    FZeroScrollRange range;
  } cases[] = {
      {11025, {0, 435, 0, 0}},      // shorter than the chart: nothing to scroll
      {22050, {0, 870, 870, 1}},    // the bar runs 0 ... 1, as for the waveform
      {33075, {0, 1305, 870, 436}},
  };
  for (const Case& c : cases) EXPECT_EQ(FZeroChart::LiveScrollRange(kWidth, c.frames), c.range) << c.frames;
}

std::vector<DrawOp> PlotLines(const RecordingCanvas& canvas) {
  std::vector<DrawOp> result;
  for (const DrawOp& op : canvas.OfKind(DrawOp::Line)) {
    if (op.clip.has_value()) result.push_back(op);
  }
  return result;
}

TEST(FZeroChart, WaveformDrawsTwoSegmentsPerVisibleColumnPositiveUp) {
  std::vector<Peak> peaks(435, Peak{-32767.5f, 32767.5f});
  peaks[0] = Peak{-16384, 8192};
  RecordingCanvas canvas;
  FZeroChart::Paint(canvas, kWidth, kHeight, peaks, nullptr, FZeroView{});
  const auto lines = PlotLines(canvas);
  ASSERT_EQ(lines.size(), 2u * 435);  // the left half of the plot
  EXPECT_EQ(lines[0].from, (Point{40, 30 + 76}));
  EXPECT_EQ(lines[0].to, (Point{40, 30 + static_cast<int>(76 + 152 * 16384 / 65535.0)}));
  EXPECT_EQ(lines[1].to, (Point{40, 30 + static_cast<int>(76 - 152 * 8192 / 65535.0)}));
  EXPECT_EQ(lines.back().to, (Point{40 + 434, 30}));  // full scale spans the height
  EXPECT_EQ(lines.back().pen.color, Color(64, 64, 64));
  EXPECT_EQ(lines.back().clip, (Rect{40, 30, kWidth, kHeight}));

  // Scrolled by 400 columns: the 35 columns left are drawn from the plot's left edge.
  RecordingCanvas scrolled;
  FZeroView view;
  view.scrollPosition = 400;
  FZeroChart::Paint(scrolled, kWidth, kHeight, peaks, nullptr, view);
  ASSERT_EQ(PlotLines(scrolled).size(), 2u * 35);
  EXPECT_EQ(PlotLines(scrolled)[0].to.x, 40);
}

std::vector<std::string> TimeLabels(const RecordingCanvas& canvas) {
  std::vector<std::string> result;
  for (const DrawOp& op : canvas.OfKind(DrawOp::Text)) {
    if (op.from.y < 30) result.push_back(op.text);
  }
  return result;
}

TEST(FZeroChart, TimeAxisShowsTheScrolledWindowAndDropsTheLabelAtItsLeftEdge) {
  RecordingCanvas start;
  FZeroChart::Paint(start, kWidth, kHeight, {}, nullptr, FZeroView{});
  EXPECT_EQ(TimeLabels(start), (std::vector<std::string>{"500", "1000", "1500"}));

  RecordingCanvas page;
  FZeroView view;
  view.scrollPosition = kPlotW;
  FZeroChart::Paint(page, kWidth, kHeight, {}, nullptr, view);
  EXPECT_EQ(TimeLabels(page), (std::vector<std::string>{"2500", "3000", "3500"}));
  std::vector<DrawOp> ticks;
  for (const DrawOp& op : page.OfKind(DrawOp::Line)) {
    if (op.from.y < 30) ticks.push_back(op);
  }
  ASSERT_EQ(ticks.size(), 20u);  // 2000 ... 3900 ms
  EXPECT_EQ(ticks[0].from, (Point{40, 30 - 2 - 8}));
  EXPECT_EQ(ticks[1].from, (Point{40 + 44, 30 - 2 - 6}));  // 100 ms is 43.5 pixels, rounded up
  EXPECT_EQ(ticks[0].pen.color, Color(128, 128, 128));

  // The frequency axis: ticks every 100 Hz inside 60 ... 1000, labels every 200 Hz.
  std::vector<std::string> frequencies;
  for (const DrawOp& op : page.OfKind(DrawOp::Text)) {
    if (op.from.x < 40) frequencies.push_back(op.text);
  }
  EXPECT_EQ(frequencies, (std::vector<std::string>{"200", "400", "600", "800"}));
}

FZeroResult Track(unsigned frames, float score) {
  FZeroResult result(0.01, frames);  // hops of 110 samples: about 200 frames per 2-second window
  for (unsigned i = 0; i < frames; ++i) result.values[i] = FZeroValue{500.0f, score, 60.0f};
  return result;
}

std::vector<DrawOp> Dots(const RecordingCanvas& canvas) {
  std::vector<DrawOp> result;
  for (const DrawOp& op : canvas.OfKind(DrawOp::Fill)) {
    if (op.brush.color == Color(255, 0, 0)) result.push_back(op);
  }
  return result;
}

TEST(FZeroChart, OnlyFramesScoringAtLeastSevenTenthsAreDrawnAsRedSquares) {
  FZeroResult result = Track(600, 0.0f);
  struct Case {
    unsigned frame;
    float score;
    bool drawn;
  } cases[] = {
      {201, 0.75f, true}, {202, 0.69f, false}, {203, 0.7f, false},  // 0.7f is just below 0.7
      {204, 0.70001f, true}, {200, 0.9f, false},                    // before the window (sample 22000)
      {400, 0.9f, true},  {401, 0.9f, false},                        // the next window (sample 44110)
  };
  for (const Case& c : cases) result.values[c.frame].score = c.score;
  result.values[204].frequency = 1000.0f;  // the top of the display range
  result.values[400].frequency = 60.0f;    // the bottom

  RecordingCanvas canvas;
  FZeroView view;
  view.scrollPosition = kPlotW;  // second window: samples 22050 ... 44099, frames 201 ... 400
  FZeroChart::Paint(canvas, kWidth, kHeight, {}, &result, view);
  const auto dots = Dots(canvas);
  ASSERT_EQ(dots.size(), 3u);
  // Frame i stands at sample 110 i, in the column of that sample, as the waveform and the cursor.
  auto x = [](int i) { return static_cast<int>(int64_t{kPlotW} * i * 110 / 22050) - kPlotW; };
  const int y500 = static_cast<int>(kPlotH - kPlotH * (500.0 - 60) / 940);
  EXPECT_EQ(dots[0].rect, (Rect{40 + x(201) - 2, 30 + y500 - 2, 40 + x(201) + 2, 30 + y500 + 2}));
  EXPECT_EQ(dots[1].rect, (Rect{40 + x(204) - 2, 30 - 2, 40 + x(204) + 2, 30 + 2}));
  EXPECT_EQ(dots[2].rect, (Rect{40 + x(400) - 2, 30 + kPlotH - 2, 40 + x(400) + 2, 30 + kPlotH + 2}));
  for (const DrawOp& dot : dots) EXPECT_EQ(dot.clip, (Rect{40, 30, kWidth, kHeight}));
}

TEST(FZeroChart, UnusableDisplayRangeOrFrameShiftLeavesTheDotsOut) {
  struct Case {
    int displayMin, displayMax;
    double frameShift;
    bool semitoneAxis;
  } cases[] = {{500, 500, 0.01, false},   {60, 1000, 0.0, false},   {60, 1000, -0.01, false},
               {60, 1000, 0.00001, false}, {500, 500, 0.01, true},  {20, 40, 0.01, true},  // both ends at the floor
               {-100, 0, 0.01, true}};
  for (const Case& c : cases) {
    FZeroResult result = Track(600, 0.9f);
    result.frameShift = c.frameShift;
    FZeroView view;
    view.displayMin = c.displayMin;
    view.displayMax = c.displayMax;
    view.semitoneAxis = c.semitoneAxis;
    RecordingCanvas canvas;
    FZeroChart::Paint(canvas, kWidth, kHeight, {}, &result, view);
    EXPECT_TRUE(Dots(canvas).empty()) << c.displayMin << ".." << c.displayMax << " shift " << c.frameShift;
    // The black plot and the time axis are still there.
    EXPECT_EQ(canvas.OfKind(DrawOp::Fill)[1].rect, (Rect{40, 30, kWidth, kHeight}));
    EXPECT_EQ(TimeLabels(canvas).size(), 3u);
  }
}

TEST(FZeroChart, RowOfAFrequency_IsLinearInHertzOrInSemitones) {
  struct Case {
    bool semitoneAxis;
    int displayMin, displayMax;
    double frequency;
    std::optional<int> row;  // in a plot 150 high
  } cases[] = {
      // Linear: 150 - 150 (f - 60) / 900.
      {false, 60, 960, 60.0, 150},
      {false, 60, 960, 169.7056, 131},  // 131.7
      {false, 60, 960, 678.8225, 46},   // 46.9
      {false, 60, 960, 960.0, 0},
      {false, 500, 500, 500.0, std::nullopt},
      // Semitones: 60 ... 960 Hz is four octaves, 37.5 pixels each.
      {true, 60, 960, 60.0, 150},
      {true, 60, 960, 84.8528, 131},   // half an octave up: 131.25
      {true, 60, 960, 169.7056, 93},   // 93.75
      {true, 60, 960, 678.8225, 18},   // 18.75
      {true, 60, 960, 960.0, 0},
      {true, 0, 800, 70.7107, 131},    // the bottom raised to 50 Hz: 50 ... 800 is four octaves again
      {true, 60, 960, 0.0, std::nullopt},
      {true, 60, 960, -100.0, std::nullopt},
      {true, 10, 50, 40.0, std::nullopt},  // nothing left above the floor
  };
  for (const Case& c : cases) {
    FZeroView view;
    view.semitoneAxis = c.semitoneAxis;
    view.displayMin = c.displayMin;
    view.displayMax = c.displayMax;
    EXPECT_EQ(view.RowOf(c.frequency, 150), c.row)
        << (c.semitoneAxis ? "semitones " : "linear ") << c.displayMin << ".." << c.displayMax << " at " << c.frequency;
  }
}

// The default range, 60 ... 1000 Hz, on the semitone axis: a dotted line at every C, the octaves the
// same height apart; the C's name in the plot above its line, its frequency beside its tick, and a
// dot at that frequency on the same row.
TEST(FZeroChart, SemitoneAxis_OctaveLinesAreEquallySpaced_AndTicksAndDotsShareTheirRows) {
  FZeroView view;
  view.semitoneAxis = true;
  FZeroResult result = Track(200, 0.9f);
  for (FZeroValue& value : result.values) value.frequency = 261.6256f;  // C4
  RecordingCanvas canvas;
  FZeroChart::Paint(canvas, kWidth, kHeight, {}, &result, view);

  std::vector<int> lines;
  for (const DrawOp& op : PlotLines(canvas)) {
    if (op.pen.style != PenStyle::Dot) continue;
    EXPECT_EQ(op.from.y, op.to.y);
    EXPECT_EQ(op.from.x, 40);
    lines.push_back(op.from.y);
  }
  // C2 65.4, C3 130.8, C4 261.6 and C5 523.3 Hz, from the bottom up.
  ASSERT_EQ(lines.size(), 4u);
  const double octave = kPlotH / std::log2(1000.0 / 60.0);  // 37.45 pixels
  for (size_t i = 1; i < lines.size(); ++i) {
    EXPECT_NEAR(lines[i - 1] - lines[i], octave, 1.0) << "octave " << i << " in pixels";
  }
  EXPECT_EQ(lines[0], 30 + 147);

  std::vector<std::string> names, hertz;
  int c4Tick = -1;
  for (const DrawOp& op : canvas.OfKind(DrawOp::Text)) {
    if (op.from.y >= 30) (op.from.x < 40 ? hertz : names).push_back(op.text);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"C2", "C3", "C4", "C5"}));
  // 65 Hz would reach below the band; only whole labels are drawn.
  EXPECT_EQ(hertz, (std::vector<std::string>{"131", "262", "523"}));
  for (const DrawOp& op : canvas.OfKind(DrawOp::Line)) {
    if (!op.clip.has_value() && op.from.x == 40 - 2 - 8 && op.to.x == 40 - 2 && op.from.y == lines[2]) c4Tick = op.from.y;
  }
  EXPECT_EQ(c4Tick, lines[2]) << "a long tick on the C4 line";
  const auto dots = Dots(canvas);
  ASSERT_FALSE(dots.empty());
  EXPECT_EQ(dots[0].rect.top + 2, lines[2]) << "the C4 dot on the C4 line";
}

// Placed at k x 10 ms, the dots of a long recording drifted from their sound (the hop is 110 samples,
// 9.977 ms): 1.4 s at 10 minutes, 16 s at 120. Now the last dot of a 120-minute track stands within
// 10 ms of the end of the waveform, as every dot stands on its own sound.
TEST(FZeroChart, LastDotOfA120MinuteTrack_StandsWithin10msOfTheEndOfTheWaveform) {
  const uint64_t samples = 120ull * 60 * 11025;
  const unsigned frames = static_cast<unsigned>((samples + 109) / 110);
  FZeroResult result = Track(frames, 0.9f);
  const int64_t columns = static_cast<int64_t>(kPlotW * samples / 22050);  // as RebuildWaveform makes them
  FZeroView view;
  view.scrollPosition = static_cast<int>(columns - kPlotW / 2);
  RecordingCanvas canvas;
  FZeroChart::Paint(canvas, kWidth, kHeight, {}, &result, view);
  const auto dots = Dots(canvas);
  ASSERT_FALSE(dots.empty());
  const double msPerColumn = 2000.0 / kPlotW;
  const int64_t lastDotColumn = view.scrollPosition + dots.back().rect.left + 2 - 40;
  EXPECT_NEAR((columns - lastDotColumn) * msPerColumn, 0.0, 10.0) << "ms from the end of the sound";
}

TEST(FZeroChart, CursorStandsAtThePlaybackColumn) {
  struct Case {
    int scroll;
    uint32_t position;
    int x;
  } cases[] = {{0, 0, 40}, {0, 11025, 40 + 435}, {100, 11025, 40 + 335}};
  for (const Case& c : cases) {
    FZeroView view;
    view.scrollPosition = c.scroll;
    view.playing = true;
    view.playbackPosition = c.position;
    RecordingCanvas canvas;
    FZeroChart::Paint(canvas, kWidth, kHeight, {}, nullptr, view);
    const auto lines = PlotLines(canvas);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].from, (Point{c.x, 30})) << c.position;
    EXPECT_EQ(lines[0].to, (Point{c.x, kHeight}));
    EXPECT_EQ(lines[0].pen.color, Color(64, 64, 64));
  }
  RecordingCanvas stopped;
  FZeroChart::Paint(stopped, kWidth, kHeight, {}, nullptr, FZeroView{});
  EXPECT_TRUE(PlotLines(stopped).empty());
}

TEST(FZeroChart, FollowPlaybackJumpsSoTheCursorStandsAQuarterFromTheLeft) {
  struct Case {
    int scroll;
    size_t columns;
    uint32_t position;
    std::optional<int> expected;
  } cases[] = {
      {0, 5000, 22025, std::nullopt},  // column 869: still visible
      {0, 5000, 22050, 870 - 217},     // column 870: off the right edge
      {0, 600, 22050, 600},            // clamped to the column count
      {653, 5000, 22050, std::nullopt},
      {653, 5000, 11025, 435 - 217},   // behind the left edge
      {653, 5000, 2205, 0},            // clamped to 0
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FZeroChart::FollowPlayback(kWidth, c.scroll, c.columns, c.position), c.expected)
        << c.scroll << " " << c.position;
  }

  // Ten-millisecond ticks through a 10-second recording: the cursor never leaves the plot, and after
  // every jump it stands a quarter of the width from the left edge.
  int scroll = 0;
  int jumps = 0;
  for (uint32_t position = 0; position < 110250; position += 110) {
    if (auto next = FZeroChart::FollowPlayback(kWidth, scroll, 4350, position)) {
      scroll = *next;
      ++jumps;
      const int cursor = static_cast<int>(static_cast<uint64_t>(kPlotW) * position / 22050) - scroll;
      EXPECT_GE(cursor, 217);
      EXPECT_LE(cursor, 218);
    }
    const int cursor = static_cast<int>(static_cast<uint64_t>(kPlotW) * position / 22050) - scroll;
    ASSERT_GE(cursor, 0);
    ASSERT_LT(cursor, kPlotW);
  }
  EXPECT_EQ(jumps, 6);
}

}  // namespace
}  // namespace vowelscope
