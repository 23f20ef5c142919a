#pragma once
// Formants of one frame by linear prediction. The frame is pre-emphasised (a first difference that
// lifts the spectral tilt of voiced speech), its normalised autocorrelation gives, by the
// Levinson-Durbin recursion, the all-pole model 1 / A(z) of order p, and the roots of A(z) are found
// by the Durand-Kerner iteration. Every root inside the unit circle is a resonance whose frequency is
// its angle and whose 3 dB bandwidth follows from its radius; sorted by frequency, each conjugate pair
// takes two neighbouring places, so every second entry is examined and the resonances narrower than
// the maximum bandwidth, in ascending order, are the formants F1, F2, ...
// With the automatic order on, the resonances come from HarmonicFormants instead (a pitch-adaptive choice
// between linear prediction and all-pole modelling of the harmonic peaks, right for men, women and
// children); the power is the same, and the order only bounds how many formants are reported.
// The Engine runs Analyze on the capture thread, once per recorded block.

#include <vector>

#include "analysis/Harmonicformants.h"

namespace vowelscope {

class FormantAnalyzer {
 public:
  FormantAnalyzer() = default;
  virtual ~FormantAnalyzer() = default;
  FormantAnalyzer(const FormantAnalyzer&) = delete;
  FormantAnalyzer& operator=(const FormantAnalyzer&) = delete;

  void SetSampleRate(unsigned hertz) { sampleRate = hertz; }
  // The order must not change between Prepare and Release.
  void SetOrder(int value) { order = value; }
  void SetMaxBandwidth(double hertz) { maxBandwidth = hertz; }
  void SetPreEmphasis(double coefficient) { preEmphasis = coefficient; }
  // Like the order, not to be changed between Prepare and Release.
  void SetAutoOrder(bool value) { autoOrder = value; }
  bool GetAutoOrder() const { return autoOrder; }
  double GetSampleRate() const { return sampleRate; }
  int GetOrder() const { return order; }
  double GetMaxBandwidth() const { return maxBandwidth; }
  double GetPreEmphasis() const { return preEmphasis; }
  unsigned GetFrameLength() const { return frameLength; }

  // Allocates the working arrays for the current order and frames of N samples; false (with nothing
  // allocated) when that fails or the order is negative.
  bool Prepare(unsigned N);
  void Release();

  // Analyses one frame of N doubles on the integer sample scale. power: 10 log10 of the mean square
  // of the pre-emphasised frame, 0 for a silent one. The two output arrays hold at least
  // (order + 1) / 2 entries; the formants found come first in ascending frequency and the entries
  // after them up to (order + 1) / 2 - 1 are 0. Returns false, with power and formants 0, when not
  // prepared or when the order changed since Prepare.
  bool Analyze(const double* frame, double& power, double* formantFrequencies, double* formantBandwidths);

 private:
  double sampleRate = 16000.0;
  int order = 16;
  double maxBandwidth = 250.0;
  double preEmphasis = 0.98;
  bool autoOrder = false;
  unsigned frameLength = 0;
  int preparedOrder = -1;
  std::vector<double> coefficients;
  std::vector<double> autocorrelation;
  std::vector<double> frequencies;
  std::vector<double> bandwidths;
  std::vector<double> work;
  HarmonicFormants harmonic;
};

}  // namespace vowelscope
