#pragma once
// Formant measurements for tests: the block analysis as the recording runs it by default, and normal
// clouds of (F1, F2) points with a known spread and axis.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "analysis/Ellipsefit.h"
#include "analysis/Formantanalyzer.h"
#include "analysis/Formantvalue.h"
#include "analysis/Windowfunction.h"

namespace vowelscope::formanttest {

constexpr unsigned kBlock = 275;

// The settings' defaults: automatic order (or the fixed order 16), 500 Hz bandwidth, pre-emphasis 0.98,
// 11025 Hz.
inline bool PrepareAsRecording(FormantAnalyzer& analyzer, bool autoOrder = true) {
  analyzer.SetSampleRate(11025);
  analyzer.SetOrder(16);
  analyzer.SetMaxBandwidth(500.0);
  analyzer.SetPreEmphasis(0.98);
  analyzer.SetAutoOrder(autoOrder);
  return analyzer.Prepare(kBlock);
}

// One value per whole Hann-weighted block, formants only at 35 dB and above, as the recording stores them.
inline std::vector<FormantValue> BlockTrack(const std::vector<int16_t>& samples) {
  FormantAnalyzer analyzer;
  PrepareAsRecording(analyzer);
  std::vector<double> frame(kBlock);
  std::vector<FormantValue> track;
  double f[16], b[16];
  for (size_t from = 0; from + kBlock <= samples.size(); from += kBlock) {
    for (unsigned i = 0; i < kBlock; ++i) frame[i] = Hann(static_cast<int>(i), kBlock) * samples[from + i];
    double power = 0.0;
    std::fill(std::begin(f), std::end(f), 0.0);
    analyzer.Analyze(frame.data(), power, f, b);
    track.push_back(power >= 35.0 ? FormantValue{power, f[0], f[1]} : FormantValue{power, 0.0, 0.0});
  }
  return track;
}

// 20000 points of a normal cloud centred on (f1, f2) with standard deviations `along` its axis and
// `across` it, the axis turned `degrees` from +F1 toward +F2.
inline std::vector<FormantPoint> NormalCloud(double f1, double f2, double along, double across, double degrees,
                                             unsigned seed) {
  std::mt19937 random(seed);
  std::normal_distribution<double> gauss(0.0, 1.0);
  const double c = std::cos(degrees * std::numbers::pi / 180.0), s = std::sin(degrees * std::numbers::pi / 180.0);
  std::vector<FormantPoint> points(20000);
  for (FormantPoint& p : points) {
    const double u = along * gauss(random), v = across * gauss(random);
    p = {f1 + u * c - v * s, f2 + u * s + v * c};
  }
  return points;
}

}  // namespace vowelscope::formanttest
