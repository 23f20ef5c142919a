// vowelscope-chartpng: paints both charts of a synthetic session into PNG files at the window's design
// size, through the window's painters, without a display.
//   vowelscope-chartpng [OUTDIR [GUIDE-CAPTION]]
// writes OUTDIR/formant.png, OUTDIR/fzero.png (start of the recording, playback cursor at 1.3 s) and
// OUTDIR/fzero-scrolled.png (the following two seconds). The guide set is the one of the regions folder
// beside the program whose caption matches (default: the Japanese male set).

#include <QGuiApplication>
#include <cstdio>
#include <string>

#include "charts/Formantchart.h"
#include "charts/Fzerochart.h"
#include "charts/Waverender.h"
#include "config/Regionslist.h"
#include "base/Error.h"
#include "tools/Chartdemo.h"
#include "ui/Chartimage.h"

using namespace vowelscope;

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const std::string folder = argc > 1 ? argv[1] : ".";
  const std::string caption = argc > 2 ? argv[2] : "日本語 男性";

  RegionsList regionsList;
  try {
    regionsList.Scan();
  } catch (const Error& error) {
    std::fprintf(stderr, "no guide sets in %s: %s\n", regionsList.GetFolder().c_str(), error.what());
  }
  const Regions* regions = nullptr;
  for (int i = 0; i < regionsList.GetCount(); ++i) {
    if (regionsList.GetItem(i)->GetCaption() == caption) regions = regionsList.GetItem(i);
  }
  if (regions == nullptr) std::fprintf(stderr, "guide set \"%s\" not found; drawing none\n", caption.c_str());

  DemoSession session = MakeDemoSession();

  std::vector<FormantValue> trail(FormantChart::kTrailLength);
  FormantChart::SetTrailForPlayback(trail, session.formantTrack, session.glideEnd);
  FormantChart formantChart;
  const QImage formant =
      RenderFormantChartImage(formantChart, DefaultFormantChartSize(), trail, FormantView{}, regions);

  WaveRender render;
  std::vector<WaveRender::PeakType> peaks;
  const int width = DefaultFZeroChartSize().width();
  FZeroChart::RebuildWaveform(render, session.sound.get(), width, peaks);
  FZeroView view;
  view.playing = true;
  view.playbackPosition = static_cast<uint32_t>(1.3 * 11025);
  const QImage fzero = RenderFZeroChartImage(DefaultFZeroChartSize(), peaks, session.fzero.get(), view);
  FZeroView scrolled;
  scrolled.scrollPosition = FZeroChart::GetPlotWidth(width);
  const QImage next = RenderFZeroChartImage(DefaultFZeroChartSize(), peaks, session.fzero.get(), scrolled);

  bool ok = true;
  for (const auto& [name, image] : {std::pair{"formant.png", &formant}, std::pair{"fzero.png", &fzero},
                                    std::pair{"fzero-scrolled.png", &next}}) {
    const std::string path = folder + "/" + name;
    if (SaveChartPng(*image, path)) {
      std::printf("%s\n", path.c_str());
    } else {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      ok = false;
    }
  }
  return ok ? 0 : 1;
}
