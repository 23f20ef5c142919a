// Speed of the charts.
//
// 1. WaveRender over a long recording (default 120 minutes, generated here) at the F0 chart's design
//    width (870 plot pixels), against two references measured in the same run:
//      scan     one min/max pass over the samples in memory (the arithmetic every renderer must do)
//      copy     reading the stream through an 8 MiB buffer without looking at the samples
//    Goal: the render within 1 s.
// 2. One paint of each chart at the window's design size through QtCanvas on an off-screen image
//    (Qt's offscreen platform), against copying a prepared image of the same size, which every
//    double-buffered paint costs anyway. Goal: 2 ms per chart, so that one 10 ms playback tick can
//    repaint both. The formant chart's background rebuild (only after a resize or a change of the
//    settings) is timed on its own.
//
//   bench_charts [minutes] [paints]   (defaults 120 and 300)

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "charts/Formantchart.h"
#include "charts/Fzerochart.h"
#include "charts/Waverender.h"
#include "config/Regionslist.h"
#include "sound/Soundmemorystream.h"
#include "tools/Chartdemo.h"
#include "ui/Chartimage.h"
#include "ui/QtCanvas.h"

using namespace vowelscope;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

template <typename F>
double TimeMs(F&& f) {
  const auto start = Clock::now();
  f();
  return Ms(Clock::now() - start);
}

// A 16-bit recording: a vowel-like tone whose loudness comes and goes every few seconds.
std::vector<int16_t> LongRecording(unsigned minutes) {
  const size_t frames = static_cast<size_t>(minutes) * 60 * 11025;
  std::vector<int16_t> samples(frames);
  uint32_t noise = 1;
  for (size_t i = 0; i < frames; ++i) {
    noise = noise * 1664525u + 1013904223u;
    const double t = static_cast<double>(i) / 11025.0;
    const double level = 0.5 + 0.5 * std::sin(t * 1.3);
    const double tone = std::sin(t * 2 * M_PI * 120) + 0.4 * std::sin(t * 2 * M_PI * 750);
    samples[i] = static_cast<int16_t>(level * 16000 * tone / 1.4 + static_cast<int>(noise >> 28) - 8);
  }
  return samples;
}

double ScanReference(const std::vector<int16_t>& samples, size_t columns, std::vector<WaveRender::PeakType>& peaks) {
  return TimeMs([&] {
    const double length = static_cast<double>(samples.size());
    size_t begin = 0;
    for (size_t k = 0; k < columns; ++k) {
      const size_t end = static_cast<size_t>(std::floor((k + 1) * length / columns + 0.5));
      int16_t low = samples[begin], high = samples[begin];
      for (size_t i = begin; i < end; ++i) {
        low = std::min(low, samples[i]);
        high = std::max(high, samples[i]);
      }
      peaks[k] = WaveRender::PeakType{static_cast<float>(low), static_cast<float>(high)};
      begin = end;
    }
  });
}

double CopyReference(SoundMemoryStream& stream) {
  std::unique_ptr<int16_t[]> buffer(new int16_t[WaveRender::kBufferBytes / 2]);
  stream.Seek(0, kSeekBegin);
  return TimeMs([&] {
    int got = 0;
    while (stream.Read(buffer.get(), WaveRender::kBufferBytes / 2, &got) && got > 0) {
    }
  });
}

void BenchWaveRender(unsigned minutes) {
  std::printf("generating %u minutes of sound...\n", minutes);
  std::vector<int16_t> samples = LongRecording(minutes);
  SoundMemoryStream stream(samples.data(), static_cast<unsigned>(samples.size()), RecordingFormat());
  const size_t columns = static_cast<uint64_t>(870) * samples.size() / FZeroChart::kWindowFrames;
  std::vector<WaveRender::PeakType> peaks(columns), reference(columns);

  double best = 1e9, bestScan = 1e9, bestCopy = 1e9;
  WaveRender render;
  for (int round = 0; round < 3; ++round) {
    bestCopy = std::min(bestCopy, CopyReference(stream));
    bestScan = std::min(bestScan, ScanReference(samples, columns, reference));
    stream.Seek(0, kSeekBegin);
    best = std::min(best, TimeMs([&] { render.Render(stream, columns, peaks.data()); }));
  }
  const bool same = peaks == reference;
  std::printf("\nWaveRender, %u min (%zu frames) into %zu columns, best of 3:\n", minutes, samples.size(), columns);
  std::printf("  render   %8.1f ms   (goal <= 1000 ms: %s)\n", best, best <= 1000 ? "met" : "MISSED");
  std::printf("  scan     %8.1f ms   render / scan = %.2f\n", bestScan, best / bestScan);
  std::printf("  copy     %8.1f ms   render / copy = %.2f\n", bestCopy, best / bestCopy);
  std::printf("  peaks equal to the reference scan: %s\n", same ? "yes" : "NO");
}

struct PaintFigures {
  double medianMs, worstMs;
};

template <typename Paint>
PaintFigures TimePaints(int paints, Paint&& paint) {
  std::vector<double> times;
  for (int i = 0; i < paints; ++i) times.push_back(TimeMs([&] { paint(i); }));
  std::sort(times.begin(), times.end());
  return PaintFigures{times[times.size() / 2], times.back()};
}

void BenchPaints(int paints) {
  DemoSession session = MakeDemoSession();
  Regions regions(VOWELSCOPE_REGIONS_DIR "/01-japanese-male.ini");
  if (!regions.Load()) std::printf("(guide set not found, painting without guides)\n");

  const QSize formantSize = DefaultFormantChartSize();
  const QSize fzeroSize = DefaultFZeroChartSize();
  QImage target(std::max(formantSize.width(), fzeroSize.width()), formantSize.height(), QImage::Format_RGB32);
  QImage prepared(target.size(), QImage::Format_RGB32);
  prepared.fill(Qt::darkGray);

  const PaintFigures copy = TimePaints(paints, [&](int) {
    QPainter painter(&target);
    painter.drawImage(0, 0, prepared);
  });

  FormantChart chart;
  std::vector<FormantValue> trail(FormantChart::kTrailLength);
  const uint32_t span = session.glideEnd;
  const PaintFigures formant = TimePaints(paints, [&](int i) {
    FormantChart::SetTrailForPlayback(trail, session.formantTrack, static_cast<uint32_t>(i * 110) % span);
    QPainter painter(&target);
    QtCanvas canvas(painter);
    chart.Paint(canvas, formantSize.width(), formantSize.height(), trail, FormantView{}, &regions);
  });

  const PaintFigures rebuild = TimePaints(std::max(paints / 10, 1), [&](int) {
    QPainter painter(&target);
    QtCanvas canvas(painter);
    chart.BuildFormantBackground(canvas, formantSize.width() - 50, formantSize.height() - 34, FormantView{}, &regions);
  });

  WaveRender render;
  std::vector<WaveRender::PeakType> peaks;
  FZeroChart::RebuildWaveform(render, session.sound.get(), fzeroSize.width(), peaks);
  const PaintFigures fzero = TimePaints(paints, [&](int i) {
    FZeroView view;
    view.playing = true;
    view.playbackPosition = static_cast<uint32_t>(i * 110) % span;
    view.scrollPosition = FZeroChart::FollowPlayback(fzeroSize.width(), 0, peaks.size(), view.playbackPosition).value_or(0);
    QPainter painter(&target);
    QtCanvas canvas(painter);
    FZeroChart::Paint(canvas, fzeroSize.width(), fzeroSize.height(), peaks, session.fzero.get(), view);
  });

  std::printf("\nPaints through QtCanvas, %d each (median / worst):\n", paints);
  std::printf("  image copy     %6.3f / %6.3f ms   (reference)\n", copy.medianMs, copy.worstMs);
  std::printf("  formant chart  %6.3f / %6.3f ms   median / copy = %.1f   (goal <= 2 ms: %s)\n", formant.medianMs,
              formant.worstMs, formant.medianMs / copy.medianMs, formant.medianMs <= 2 ? "met" : "MISSED");
  std::printf("  F0 chart       %6.3f / %6.3f ms   median / copy = %.1f   (goal <= 2 ms: %s)\n", fzero.medianMs,
              fzero.worstMs, fzero.medianMs / copy.medianMs, fzero.medianMs <= 2 ? "met" : "MISSED");
  std::printf("  both charts, one playback tick: %.3f ms of 10 ms\n", formant.medianMs + fzero.medianMs);
  std::printf("  formant background rebuild (after a resize or new settings): %.3f / %.3f ms\n", rebuild.medianMs,
              rebuild.worstMs);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const unsigned minutes = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 120;
  const int paints = argc > 2 ? std::atoi(argv[2]) : 300;
  BenchPaints(std::max(paints, 1));
  BenchWaveRender(std::max(minutes, 1u));
  return 0;
}
