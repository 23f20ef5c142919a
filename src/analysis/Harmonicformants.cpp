#include "analysis/Harmonicformants.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "analysis/Lpc.h"
#include "analysis/Mathutilities.h"
#include "analysis/Windowfunction.h"

namespace vowelscope {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kHighVoice = 165.0;     // Hz: from here up the harmonics are too sparse for plain LPC
constexpr double kMinPitch = 60.0;       // Hz
constexpr double kMaxPitch = 500.0;
constexpr double kPeriodic = 0.6;        // normalised correlation a frame needs to count as periodic
constexpr double kHarmonicPreEmphasis = 0.95;
constexpr double kTopHarmonic = 5300.0;  // Hz: harmonics above are left out (the anti-alias slope)
constexpr int kMaxPeaks = 64;
constexpr int kPasses = 40;
constexpr double kSettled = 1e-5;

size_t FftSize(unsigned N) {
  size_t size = 256;
  while (size < N) size *= 2;
  return size;
}

// Solves the symmetric positive definite system m x = b (n x n, row-major, overwritten by its Cholesky
// factor) in place of b; false when m is not positive definite.
bool CholeskySolve(int n, double* m, double* b) {
  for (int j = 0; j < n; ++j) {
    double d = m[j * n + j];
    for (int k = 0; k < j; ++k) d -= m[j * n + k] * m[j * n + k];
    if (!(d > 0.0)) return false;
    d = std::sqrt(d);
    m[j * n + j] = d;
    for (int i = j + 1; i < n; ++i) {
      double t = m[i * n + j];
      for (int k = 0; k < j; ++k) t -= m[i * n + k] * m[j * n + k];
      m[i * n + j] = t / d;
    }
  }
  for (int i = 0; i < n; ++i) {
    double t = b[i];
    for (int k = 0; k < i; ++k) t -= m[i * n + k] * b[k];
    b[i] = t / m[i * n + i];
  }
  for (int i = n - 1; i >= 0; --i) {
    double t = b[i];
    for (int k = i + 1; k < n; ++k) t -= m[k * n + i] * b[k];
    b[i] = t / m[i * n + i];
  }
  return true;
}
}  // namespace

bool HarmonicFormants::Prepare(unsigned N) {
  Release();
  if (N < 16) return false;
  const size_t size = FftSize(N);
  try {
    windowCorrelation.assign(N, 0.0);
    work.assign(N, 0.0);
    spectrum.assign(size, {});
    twiddles.assign(size / 2, {});
    bitReverse.assign(size, 0);
    peakAngle.assign(kMaxPeaks, 0.0);
    peakPower.assign(kMaxPeaks, 0.0);
    phasors.assign(static_cast<size_t>(kMaxPeaks) * (kHighOrder + 1), {});
    r.assign(kMaxOrder + 1, 0.0);
    a.assign(kMaxOrder + 1, 0.0);
    next.assign(kMaxOrder + 1, 0.0);
    toeplitz.assign(kMaxOrder * kMaxOrder, 0.0);
    rhs.assign(kMaxOrder, 0.0);
    h.assign(kMaxOrder + 1, 0.0);
    guesses.assign(kMaxOrder, {});
    roots.assign(kMaxOrder, {});
  } catch (const std::bad_alloc&) {
    Release();
    return false;
  }
  // The window's autocorrelation, by which the frame's is divided so that a long lag is not penalised
  // for the window's taper.
  double energy = 0.0;
  for (unsigned n = 0; n < N; ++n) energy += Hann(static_cast<int>(n), static_cast<int>(N)) * Hann(static_cast<int>(n), static_cast<int>(N));
  for (unsigned lag = 0; lag < N; ++lag) {
    double sum = 0.0;
    for (unsigned n = 0; n + lag < N; ++n)
      sum += Hann(static_cast<int>(n), static_cast<int>(N)) * Hann(static_cast<int>(n + lag), static_cast<int>(N));
    windowCorrelation[lag] = energy > 0.0 ? sum / energy : 0.0;
  }
  unsigned bits = 0;
  while ((size_t{1} << bits) < size) ++bits;
  for (size_t i = 0; i < size; ++i) {
    unsigned reversed = 0;
    for (unsigned b = 0; b < bits; ++b) reversed |= ((i >> b) & 1u) << (bits - 1 - b);
    bitReverse[i] = reversed;
  }
  for (size_t k = 0; k < size / 2; ++k) {
    const double angle = -2.0 * kPi * static_cast<double>(k) / static_cast<double>(size);
    twiddles[k] = ComplexNumber(std::cos(angle), std::sin(angle));
  }
  frameLength = N;
  return true;
}

void HarmonicFormants::Release() {
  windowCorrelation = {};
  work = {};
  spectrum = {};
  twiddles = {};
  bitReverse = {};
  peakAngle = {};
  peakPower = {};
  phasors = {};
  r = {};
  a = {};
  next = {};
  toeplitz = {};
  rhs = {};
  h = {};
  guesses = {};
  roots = {};
  frameLength = 0;
}

double HarmonicFormants::Pitch(const double* frame, double sampleRate) {
  const int N = static_cast<int>(frameLength);
  const int shortest = std::max(2, static_cast<int>(sampleRate / kMaxPitch));
  const int longest = std::min(N / 2, static_cast<int>(sampleRate / kMinPitch));
  const double r0 = DotProduct(frame, frame, N);
  if (!(r0 > 0.0) || longest <= shortest + 1) return 0.0;
  // Normalised correlation at every lag, the best peak and then the shortest lag that comes within 10 %
  // of it, so that a frame does not take twice its period.
  double best = 0.0;
  int bestLag = 0;
  std::vector<double>& c = work;  // the lags are read before the pre-emphasised frame is written
  for (int lag = shortest - 1; lag <= longest + 1; ++lag) {
    c[lag] = DotProduct(frame, frame + lag, N - lag) / (r0 * windowCorrelation[lag]);
  }
  for (int lag = shortest; lag <= longest; ++lag) {
    if (c[lag] > c[lag - 1] && c[lag] >= c[lag + 1] && c[lag] > best) {
      best = c[lag];
      bestLag = lag;
    }
  }
  if (best < kPeriodic) return 0.0;
  for (int lag = shortest; lag < bestLag; ++lag) {
    if (c[lag] > c[lag - 1] && c[lag] >= c[lag + 1] && c[lag] >= 0.9 * best) {
      bestLag = lag;
      break;
    }
  }
  // Between whole lags: the vertex of the parabola through the peak and its neighbours.
  const double left = c[bestLag - 1], middle = c[bestLag], right = c[bestLag + 1];
  const double bend = left - 2.0 * middle + right;
  const double shift = bend < 0.0 ? std::clamp(0.5 * (left - right) / bend, -0.5, 0.5) : 0.0;
  return sampleRate / (bestLag + shift);
}

void HarmonicFormants::Fft() {
  const size_t size = spectrum.size();
  for (size_t i = 0; i < size; ++i) {
    if (i < bitReverse[i]) std::swap(spectrum[i], spectrum[bitReverse[i]]);
  }
  for (size_t half = 1; half < size; half *= 2) {
    const size_t stride = size / (2 * half);
    for (size_t start = 0; start < size; start += 2 * half) {
      for (size_t k = 0; k < half; ++k) {
        const ComplexNumber t = twiddles[k * stride] * spectrum[start + k + half];
        spectrum[start + k + half] = spectrum[start + k] - t;
        spectrum[start + k] = spectrum[start + k] + t;
      }
    }
  }
}

bool HarmonicFormants::HarmonicPeaks(const double* frame, double sampleRate, double pitch) {
  const int N = static_cast<int>(frameLength);
  PreEmphasis(frame, work.data(), kHarmonicPreEmphasis, N);
  const size_t size = spectrum.size();
  for (size_t i = 0; i < size; ++i) spectrum[i] = ComplexNumber(i < frameLength ? work[i] : 0.0, 0.0);
  Fft();
  const double binHz = sampleRate / static_cast<double>(size);
  const double top = std::min(kTopHarmonic, 0.5 * sampleRate - 0.5 * pitch);
  peakCount = 0;
  // Each harmonic's peak: the strongest bin within a quarter of F0 of where it should be, refined by the
  // parabola through the log powers of it and its neighbours.
  for (int k = 1; k * pitch < top && peakCount < kMaxPeaks; ++k) {
    const double centre = k * pitch / binHz;
    const long from = std::max(1L, std::lround(centre - 0.25 * pitch / binHz));
    const long to = std::min(static_cast<long>(size / 2) - 2, std::lround(centre + 0.25 * pitch / binHz));
    long bin = from;
    double strongest = -1.0;
    for (long b = from; b <= to; ++b) {
      const ComplexNumber& z = spectrum[static_cast<size_t>(b)];
      const double power = z.re * z.re + z.im * z.im;
      if (power > strongest) {
        strongest = power;
        bin = b;
      }
    }
    auto logPower = [&](long b) {
      const ComplexNumber& z = spectrum[static_cast<size_t>(b)];
      return std::log(z.re * z.re + z.im * z.im + 1e-30);
    };
    const double left = logPower(bin - 1), middle = logPower(bin), right = logPower(bin + 1);
    const double bend = left - 2.0 * middle + right;
    const double shift = bend < 0.0 ? std::clamp(0.5 * (left - right) / bend, -0.5, 0.5) : 0.0;
    peakAngle[peakCount] = 2.0 * kPi * (bin + shift) / static_cast<double>(size);
    peakPower[peakCount] = std::exp(middle - 0.25 * (left - right) * shift);
    ++peakCount;
  }
  return peakCount > kHighOrder / 2;
}

bool HarmonicFormants::DiscreteAllPole(int p) {
  const int M = peakCount;
  // The autocorrelation of the line spectrum of the peaks.
  for (int i = 0; i <= p; ++i) {
    double sum = 0.0;
    for (int m = 0; m < M; ++m) sum += peakPower[m] * std::cos(i * peakAngle[m]);
    r[i] = sum / M;
  }
  if (!(r[0] > 0.0)) return false;
  for (int i = p; i >= 0; --i) r[i] /= r[0];
  if (!(LevinsonDurbin(r.data(), a.data(), p) > 0.0)) return false;
  for (int m = 0; m < M; ++m) {
    const ComplexNumber step(std::cos(peakAngle[m]), -std::sin(peakAngle[m]));
    ComplexNumber* row = &phasors[static_cast<size_t>(m) * (kHighOrder + 1)];
    row[0] = ComplexNumber(1.0, 0.0);
    for (int k = 1; k <= p; ++k) row[k] = row[k - 1] * step;
  }
  // Fixed point of the minimum Itakura-Saito distance: sum_k a_k r(i - k) = g^2 h(i), i = 1 .. p, with
  // h(i) the mean of Re(e^{-i i w} / A(w)) over the peaks and g^2 = a' R a; half steps keep it stable.
  for (int pass = 0; pass < kPasses; ++pass) {
    double gain = 0.0;
    for (int k = 0; k <= p; ++k) {
      for (int l = 0; l <= p; ++l) gain += a[k] * a[l] * r[std::abs(k - l)];
    }
    std::fill(h.begin(), h.end(), 0.0);
    for (int m = 0; m < M; ++m) {
      const ComplexNumber* row = &phasors[static_cast<size_t>(m) * (kHighOrder + 1)];
      ComplexNumber A;
      for (int k = 0; k <= p; ++k) A = A + ComplexNumber(a[k] * row[k].re, a[k] * row[k].im);
      const double d = A.re * A.re + A.im * A.im;
      if (!(d > 0.0)) return false;
      const ComplexNumber inverse(A.re / d, -A.im / d);
      for (int i = 1; i <= p; ++i) h[i] += row[i].re * inverse.re - row[i].im * inverse.im;
    }
    for (int i = 0; i < p; ++i) {
      for (int k = 0; k < p; ++k) toeplitz[i * p + k] = r[std::abs(i - k)];
      rhs[i] = gain * h[i + 1] / M - r[i + 1];
    }
    if (!CholeskySolve(p, toeplitz.data(), rhs.data())) return false;
    double moved = 0.0;
    for (int k = 1; k <= p; ++k) {
      const double updated = 0.5 * (a[k] + rhs[k - 1]);
      moved = std::max(moved, std::fabs(updated - a[k]));
      a[k] = updated;
    }
    if (moved < kSettled) break;
  }
  return true;
}

void HarmonicFormants::Resonances(int p, double sampleRate, double maxBandwidth, double* frequencies,
                                  double* bandwidths, int count) {
  Resonance kept[kMaxOrder];
  int found = 0;
  if (FindRoots(p, a.data(), guesses.data(), roots.data())) {
    for (int k = 0; k < p; ++k) {
      if (!(roots[k].im > 0.0)) continue;
      const Resonance res = RootToResonance(sampleRate, roots[k]);
      if (res.frequency > 1.0 && res.bandwidth > 1.0 && res.bandwidth < maxBandwidth) kept[found++] = res;
    }
  }
  for (int i = 1; i < found; ++i) {  // a handful of entries: insertion sort
    for (int j = i; j > 0 && kept[j - 1].frequency > kept[j].frequency; --j) std::swap(kept[j - 1], kept[j]);
  }
  found = std::min(found, count);
  for (int i = 0; i < found; ++i) {
    frequencies[i] = kept[i].frequency;
    bandwidths[i] = kept[i].bandwidth;
  }
  for (int i = found; i < count; ++i) frequencies[i] = bandwidths[i] = 0.0;
}

void HarmonicFormants::Analyze(const double* frame, double sampleRate, double preEmphasis, double maxBandwidth,
                               double* frequencies, double* bandwidths, int count) {
  lastPitch = 0.0;
  lastHarmonic = false;
  if (!IsPrepared()) {
    for (int i = 0; i < count; ++i) frequencies[i] = bandwidths[i] = 0.0;
    return;
  }
  const double pitch = Pitch(frame, sampleRate);
  lastPitch = pitch;
  if (pitch >= kHighVoice && HarmonicPeaks(frame, sampleRate, pitch) && DiscreteAllPole(kHighOrder)) {
    Resonances(kHighOrder, sampleRate, maxBandwidth, frequencies, bandwidths, count);
    // A sound with too few harmonics for the model (a bare tone) keeps what prediction finds in it.
    lastHarmonic = count == 0 || frequencies[0] > 0.0;
    if (lastHarmonic) return;
  }
  const int N = static_cast<int>(frameLength);
  PreEmphasisAutocorrelation(frame, work.data(), r.data(), preEmphasis, kLowOrder, N);
  if (LevinsonDurbin(r.data(), a.data(), kLowOrder) > 0.0) {
    Resonances(kLowOrder, sampleRate, maxBandwidth, frequencies, bandwidths, count);
  } else {
    for (int i = 0; i < count; ++i) frequencies[i] = bandwidths[i] = 0.0;
  }
}

}  // namespace vowelscope
