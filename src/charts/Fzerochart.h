#pragma once
// The F0 chart: two seconds of the recording per plot width, the waveform envelope in dark grey on
// black, the F0 frames judged voiced as small red squares, the playback cursor, a time axis in
// milliseconds along the top and a frequency axis in Hz along the left, linear or in semitones (each
// octave the same height, a dotted line and the note's name at labelled notes). The scroll position is the
// column shown at the plot's left edge. The envelope comes from the peaks WaveRender made whenever the
// recording or the plot width changed (RebuildWaveform); a paint draws only the visible columns.
// Everything here runs on the user-interface thread.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "charts/Canvas.h"
#include "charts/Waverender.h"

namespace vowelscope {

class FZeroResult;
class Settings;
class SoundStream;

// What one paint of the F0 chart shows besides the peaks and the F0 result.
struct FZeroView {
  int displayMin = 60;  // Hz, bottom of the plot
  int displayMax = 1000;
  int scrollPosition = 0;  // column at the plot's left edge
  bool playing = false;
  uint32_t playbackPosition = 0;  // frames from the start of the recording
  bool semitoneAxis = false;      // frequency on a logarithmic axis: equal steps per semitone

  // The semitone axis starts no lower than this: no F0 below it is ever measured, and a display minimum
  // of 0 Hz could not be placed on a logarithmic axis.
  static constexpr double kSemitoneAxisFloor = 50.0;

  static FZeroView FromSettings(const Settings& settings, int scrollPosition, bool playing, uint32_t playbackPosition);

  // The row of a frequency in a plot `height` pixels high (0 at the top edge, height at the bottom):
  // the one mapping of the dots, the axis ticks and the note lines. Nothing when the display range
  // cannot be mapped (empty; on the semitone axis also once its ends are raised to the floor) or, on
  // the semitone axis, for a frequency not above 0 Hz.
  std::optional<int> RowOf(double frequency, int height) const;
};

// Scroll bar set-up after the waveform was rebuilt. With a page, the bar's position runs from minimum
// to maximum - pageSize + 1; pageSize is 0 (no page) when the recording is shorter than one plot width.
struct FZeroScrollRange {
  int minimum = 0;
  int maximum = 0;
  int pageSize = 0;
  int position = 0;
  friend bool operator==(const FZeroScrollRange&, const FZeroScrollRange&) = default;
};

class FZeroChart {
 public:
  static constexpr int kPlotLeft = 40;
  static constexpr int kPlotTop = 30;
  static constexpr double kWindowSeconds = 2.0;
  static constexpr uint32_t kWindowFrames = 22050;  // two seconds at 11025 Hz
  static constexpr double kVoicedScore = 0.7;       // frames scoring at least this are drawn

  // Plot width of a chart `paintWidth` pixels wide.
  static int GetPlotWidth(int paintWidth) { return paintWidth - kPlotLeft; }

  // The whole chart into a canvas of width x height. `result` may be null (no F0 analysis yet).
  static void Paint(Canvas& canvas, int width, int height, const std::vector<WaveRender::PeakType>& peaks,
                    const FZeroResult* result, const FZeroView& view);

  // Renders the recording (null: none) into one peak per column at the scale of a chart `paintWidth`
  // pixels wide and gives the scroll bar's new set-up (position back at 0).
  static FZeroScrollRange RebuildWaveform(WaveRender& render, SoundStream* sound, int paintWidth,
                                          std::vector<WaveRender::PeakType>& peaks);

  // The scroll bar's set-up for a sound of `frames` frames in a chart `paintWidth` pixels wide, as
  // RebuildWaveform gives it, but with the position at the last page: where a recording's live end is.
  static FZeroScrollRange LiveScrollRange(int paintWidth, uint64_t frames);

  // The scroll position that brings the playback cursor back into view, a quarter of the plot width
  // from the left edge; nothing while the cursor is visible. `columns` is the number of peaks.
  static std::optional<int> FollowPlayback(int paintWidth, int scrollPosition, size_t columns, uint32_t position);
};

}  // namespace vowelscope
