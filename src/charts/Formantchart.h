#pragma once
// The F1-F2 chart: a black plot with a dotted grid every 500 Hz, the ellipses of the selected vowel-guide
// set (translucent fills, solid outlines, each vowel's caption at its centre), the trail of the 40 newest formant measurements as fading red dots (newest
// brightest, drawn last), a numeric axis with its title along the top and another along the left.
// The grid and the ellipses are the costly part; they are drawn into an off-screen background that
// is rebuilt only when the plot size, the view or the guide set changes, or after InvalidateBackground.
//
// Paint runs on the user-interface thread. The trail it is given must not change while it paints: the
// capture thread adds measurements to it, so hold the trail's lock around Paint (or paint a copy).

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "analysis/Formantvalue.h"
#include "charts/Canvas.h"

namespace vowelscope {

class Regions;
class Settings;

// Ranges and orientation of the formant chart, as the settings give them.
struct FormantView {
  double f1Min = 200.0;  // Hz
  double f1Max = 1200.0;
  double f2Min = 500.0;
  double f2Max = 4000.0;
  bool swapXY = false;  // F1 on the vertical axis, F2 on the horizontal one
  bool f1Reverse = false;
  bool f2Reverse = false;

  static FormantView FromSettings(const Settings& settings);
  // A display range of zero width cannot be mapped; such a chart shows only the plot, grid and axes.
  bool IsEmpty() const { return f1Max == f1Min || f2Max == f2Min; }
  // The point of (f1, f2) in a plot of width x height whose top-left corner is the origin. Without
  // SwapXY F1 grows to the right and F2 upward. False (and no point) for an empty view.
  bool Map(double f1, double f2, int width, int height, Point& point) const;

  friend bool operator==(const FormantView&, const FormantView&) = default;
};

// A point the chart marks with its number: a practice attempt's mean, numbered as in its list.
struct FormantMark {
  double f1 = 0.0;  // Hz
  double f2 = 0.0;
  int number = 0;
};

class FormantChart {
 public:
  static constexpr int kTrailLength = 40;
  static constexpr int kPlotLeft = 50;
  static constexpr int kPlotTop = 34;
  static constexpr unsigned kBlockFrames = 275;  // frames per analysed block (25 ms at 11025 Hz)

  FormantChart() = default;
  virtual ~FormantChart() = default;
  FormantChart(const FormantChart&) = delete;
  FormantChart& operator=(const FormantChart&) = delete;

  // The whole chart into a canvas of width x height. `regions` is the selected guide set, or null.
  void Paint(Canvas& canvas, int width, int height, const std::vector<FormantValue>& trail,
             const FormantView& view, const Regions* regions);
  void Paint(Canvas& canvas, int width, int height, const std::vector<FormantValue>& trail,
             const Settings& settings, const Regions* regions);

  // Draws the background (black, grid, guide ellipses) at width x height into an image made by `canvas`.
  void BuildFormantBackground(Canvas& canvas, int width, int height, const FormantView& view, const Regions* regions);
  // The next paint rebuilds the background (after the options or the guide selection changed).
  void InvalidateBackground() { backgroundStale = true; }
  // The region of the guide set aimed at (-1: none). With a target its ellipse is drawn bolder and every
  // other one dimmed, so the eye finds it at once; the background is rebuilt when the target changes.
  void SetTarget(int regionIndex);
  int GetTarget() const { return targetRegion; }
  // The points marked over the guides and the trail (the means of practice attempts).
  void SetMarks(std::vector<FormantMark> points) { marks = std::move(points); }
  const std::vector<FormantMark>& GetMarks() const { return marks; }
  // The whole take as faint dots over the guides' fills and under the trail: every block of `track` with both
  // formants and a power at or above `threshold` dB; an empty track shows none. The background is
  // rebuilt with them at the next paint.
  void SetWholeTake(const std::vector<FormantValue>& track, double threshold);
  // The take's blocks the chart holds (those it draws).
  size_t GetWholeTakeSize() const { return wholeTake.size(); }
  // The background as last built; null before the first paint.
  const CanvasImage* GetBackground() const { return backgroundBitmap.get(); }

  // Puts a new measurement at the front of the trail and drops the oldest.
  static void AddToTrail(std::vector<FormantValue>& trail, const FormantValue& value);
  // Fills the trail from the stored formant track for a playback position in frames: entry i is the
  // block i before the current one, or zeros where the track has no such block.
  static void SetTrailForPlayback(std::vector<FormantValue>& trail, const std::vector<FormantValue>& track,
                                  uint32_t position);

 private:
  void DrawTrail(Canvas& canvas, const Rect& plot, const std::vector<FormantValue>& trail,
                 const FormantView& view) const;
  void DrawAxes(Canvas& canvas, int width, int height, const FormantView& view) const;
  void DrawCaptions(Canvas& image, int width, int height, const FormantView& view, const Regions& regions) const;
  void DrawMarks(Canvas& canvas, const Rect& plot, const FormantView& view) const;
  void DrawWholeTake(Canvas& image, int width, int height, const FormantView& view) const;

  std::unique_ptr<CanvasImage> backgroundBitmap;
  bool backgroundStale = true;
  FormantView backgroundView;
  const Regions* backgroundRegions = nullptr;
  int targetRegion = -1;
  std::vector<FormantMark> marks;
  struct TakePoint {
    float f1, f2;  // Hz; floats halve the memory of a two-hour take
  };
  std::vector<TakePoint> wholeTake;
};

}  // namespace vowelscope
