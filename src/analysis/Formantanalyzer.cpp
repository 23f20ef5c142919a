#include "analysis/Formantanalyzer.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <new>

#include "analysis/Lpc.h"
#include "analysis/Mathutilities.h"

namespace vowelscope {

bool FormantAnalyzer::Prepare(unsigned N) {
  Release();
  if (order < 0 || order == INT_MAX || N > INT_MAX) return false;
  const size_t size = static_cast<size_t>(order) + 1;
  try {
    coefficients.assign(size, 0.0);
    autocorrelation.assign(size, 0.0);
    frequencies.assign(size, 0.0);
    bandwidths.assign(size, 0.0);
    work.assign(N, 0.0);
  } catch (const std::bad_alloc&) {
    Release();
    return false;
  }
  if (autoOrder && !harmonic.Prepare(N)) {
    Release();
    return false;
  }
  frameLength = N;
  preparedOrder = order;
  return true;
}

void FormantAnalyzer::Release() {
  coefficients = {};
  autocorrelation = {};
  frequencies = {};
  bandwidths = {};
  work = {};
  harmonic.Release();
  preparedOrder = -1;
}

bool FormantAnalyzer::Analyze(const double* frame, double& power, double* formantFrequencies,
                              double* formantBandwidths) {
  const int p = order;
  power = 0.0;
  if (p < 0 || p != preparedOrder) {
    // The caller's arrays may be sized for either order; only what both orders have is cleared.
    const int cleared = preparedOrder >= 0 ? std::min(p, preparedOrder) : p;
    for (int i = 0; i < (cleared + 1) / 2; ++i) formantFrequencies[i] = formantBandwidths[i] = 0.0;
    return false;
  }
  const int N = static_cast<int>(frameLength);

  if (autoOrder && harmonic.IsPrepared()) {
    // The same energy as the fixed analysis: r0 of the pre-emphasised frame.
    PreEmphasis(frame, work.data(), preEmphasis, N);
    const double energy = DotProduct(work.data(), work.data(), N);
    const double meanSquare = N > 0 && std::fabs(energy) >= 1e-10 ? energy / N : 0.0;
    power = meanSquare > 0.0 ? 10.0 * std::log10(meanSquare) : 0.0;
    harmonic.Analyze(frame, sampleRate, preEmphasis, maxBandwidth, formantFrequencies, formantBandwidths,
                     (p + 1) / 2);
    return true;
  }

  double energy =
      PreEmphasisAutocorrelation(frame, work.data(), autocorrelation.data(), preEmphasis, p, N);
  double meanSquare = N > 0 ? energy / N : 0.0;
  power = meanSquare > 0.0 ? 10.0 * std::log10(meanSquare) : 0.0;

  if (LevinsonDurbin(autocorrelation.data(), coefficients.data(), p) > 0.0) {
    LpcResonances(sampleRate, p, coefficients.data(), frequencies.data(), bandwidths.data());
  } else {
    for (int j = 0; j <= p; ++j) frequencies[j] = bandwidths[j] = 0.0;
  }

  // Each conjugate pair fills two neighbouring entries, so every second one is examined.
  int i = 0;
  for (int j = 0; j < p; j += 2) {
    if (frequencies[j] > 1.0 && bandwidths[j] > 1.0 && bandwidths[j] < maxBandwidth) {
      formantFrequencies[i] = frequencies[j];
      formantBandwidths[i] = bandwidths[j];
      ++i;
    }
  }
  // Up to (p + 1) / 2, the most an odd order can fill, so no entry keeps a value of an earlier frame.
  for (; i < (p + 1) / 2; ++i) formantFrequencies[i] = formantBandwidths[i] = 0.0;
  return true;
}

}  // namespace vowelscope
