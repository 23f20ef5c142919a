#include "analysis/Harmonicformants.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "analysis/Lpc.h"
#include "analysis/Windowfunction.h"

namespace vowelscope {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kHighVoice = 165.0;     // Hz: from here up the harmonics are too sparse for plain LPC
constexpr double kMinPitch = 60.0;       // Hz
constexpr double kMaxPitch = 500.0;
constexpr double kPeriodic = 0.6;        // normalised correlation a frame needs to count as periodic
constexpr double kPitchStep = 0.08;      // how far the local search looks from the last period
constexpr int kFullSearchEvery = 4;      // blocks: every fifth searches all lags, to catch a new octave
constexpr double kLowVoiceLift = 0.8;    // a second first difference on the low path, after the user's
constexpr double kHarmonicPreEmphasis = 0.9;
constexpr double kTopHarmonic = 5300.0;  // Hz: harmonics above are left out (the anti-alias slope)
constexpr int kMaxPeaks = 64;
constexpr int kPasses = 6;
constexpr double kSettled = 1e-5;
constexpr double kDamping = 0.5;  // half steps: the plain fixed point can overshoot
constexpr double kUsualTilt = 2.4;     // dB from H1 to H2 of the source the low path's lift was set for
constexpr double kTiltDeadZone = 2.0;  // dB either side of it that are left alone
constexpr double kMaxTilt = 6.0;       // dB per octave: the most one first-order section undoes
constexpr double kTiltSmoothing = 0.5; // weight of each new measurement
constexpr double kMostCorrection = 10.0; // dB: blocks whose resonances move H1 - H2 more are not used

// A power of two that holds the frame and its longest pitch lag without the circular correlation
// wrapping onto them.
size_t FftSize(unsigned N) {
  size_t size = 256;
  while (size < N + N / 2 + 2) size *= 2;
  return size;
}

// Four independent sums, so the processor overlaps them: the local pitch search and the low path's
// autocorrelation, whose figures need no particular order of adding.
double FastDot(const double* x, const double* y, int n) {
  double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
  int k = 0;
  for (; k + 4 <= n; k += 4) {
    s0 += x[k] * y[k];
    s1 += x[k + 1] * y[k + 1];
    s2 += x[k + 2] * y[k + 2];
    s3 += x[k + 3] * y[k + 3];
  }
  for (; k < n; ++k) s0 += x[k] * y[k];
  return (s0 + s1) + (s2 + s3);
}

// The Cholesky factor of the symmetric positive definite n x n matrix m (row-major, lower triangle
// overwritten); false when m is not positive definite.
bool CholeskyFactor(int n, double* m) {
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
  return true;
}

// Solves l l' x = b in place of b with the factor of CholeskyFactor.
void CholeskySolve(int n, const double* l, double* b) {
  for (int i = 0; i < n; ++i) {
    double t = b[i];
    for (int k = 0; k < i; ++k) t -= l[i * n + k] * b[k];
    b[i] = t / l[i * n + i];
  }
  for (int i = n - 1; i >= 0; --i) {
    double t = b[i];
    for (int k = i + 1; k < n; ++k) t -= l[k * n + i] * b[k];
    b[i] = t / l[i * n + i];
  }
}
}  // namespace

bool HarmonicFormants::Prepare(unsigned N) {
  Release();
  if (N < 16) return false;
  const size_t size = FftSize(N);
  const size_t half = size / 2;
  try {
    windowCorrelation.assign(N, 0.0);
    work.assign(size, 0.0);
    spectrum.assign(half, {});
    twiddles.assign(half, {});
    splitTwiddles.assign(half + 1, {});
    bitReverse.assign(half, 0);
    power.assign(half + 1, 0.0);
    emphasis.assign(half + 1, 0.0);
    correlation.assign(half + 1, 0.0);
    peakAngle.assign(kMaxPeaks, 0.0);
    peakPower.assign(kMaxPeaks, 0.0);
    for (std::vector<double>* v : {&byPeakRe, &byPeakIm, &byPowerRe, &byPowerIm})
      v->assign(static_cast<size_t>(kMaxPeaks) * (kHighOrder + 1), 0.0);
    modelRe.assign(kMaxPeaks, 0.0);
    modelIm.assign(kMaxPeaks, 0.0);
    r.assign(kMaxOrder + 1, 0.0);
    a.assign(kMaxOrder + 1, 0.0);
    toeplitz.assign(kMaxOrder * kMaxOrder, 0.0);
    rhs.assign(kMaxOrder, 0.0);
    h.assign(kMaxOrder + 1, 0.0);
    roots.assign(kMaxOrder, {});
  } catch (const std::bad_alloc&) {
    Release();
    return false;
  }
  if (!rootFinder.Prepare(kMaxOrder)) {
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
  while ((size_t{1} << bits) < half) ++bits;
  for (size_t i = 0; i < half; ++i) {
    unsigned reversed = 0;
    for (unsigned b = 0; b < bits; ++b) reversed |= ((i >> b) & 1u) << (bits - 1 - b);
    bitReverse[i] = reversed;
  }
  // The twiddles of each stage side by side (span s at s .. 2s - 1), so a stage reads them in order.
  for (size_t span = 1; span < half; span *= 2) {
    for (size_t k = 0; k < span; ++k) {
      const double angle = -kPi * static_cast<double>(k) / static_cast<double>(span);
      twiddles[span + k] = ComplexNumber(std::cos(angle), std::sin(angle));
    }
  }
  for (size_t k = 0; k <= half; ++k) {
    const double angle = -2.0 * kPi * static_cast<double>(k) / static_cast<double>(size);
    splitTwiddles[k] = ComplexNumber(std::cos(angle), std::sin(angle));
    // |1 - c e^{-iw}|^2: the pre-emphasis of the harmonic path, applied to the power spectrum.
    emphasis[k] = 1.0 + kHarmonicPreEmphasis * kHarmonicPreEmphasis -
                  2.0 * kHarmonicPreEmphasis * std::cos(2.0 * kPi * static_cast<double>(k) / static_cast<double>(size));
  }
  frameLength = N;
  return true;
}

void HarmonicFormants::Release() {
  windowCorrelation = {};
  work = {};
  spectrum = {};
  twiddles = {};
  splitTwiddles = {};
  bitReverse = {};
  power = {};
  emphasis = {};
  correlation = {};
  peakAngle = {};
  peakPower = {};
  for (std::vector<double>* v : {&byPeakRe, &byPeakIm, &byPowerRe, &byPowerIm, &modelRe, &modelIm}) *v = {};
  r = {};
  a = {};
  toeplitz = {};
  rhs = {};
  h = {};
  roots = {};
  rootFinder.Release();
  lastLag = 0.0;
  sinceFullSearch = 0;
  tiltExcess = 0.0;
  tiltPitch = 0.0;
  frameLength = 0;
}

void HarmonicFormants::HalfTransform(const double* x) {
  // A real sequence of `size` values as `size / 2` complex ones, even samples the real parts, odd the
  // imaginary: one complex transform of half the length, and Split gives the real sequence's.
  const size_t half = spectrum.size();
  for (size_t i = 0; i < half; ++i) spectrum[bitReverse[i]] = ComplexNumber(x[2 * i], x[2 * i + 1]);
  ComplexNumber* z = spectrum.data();
  size_t span = 1;
  // Two radix-2 stages at a time (spans s and 2s), so each value is loaded and stored once per pair;
  // the second stage's twiddle for the odd quarter is the first quarter's times -i.
  for (; span * 4 <= half; span *= 4) {
    const ComplexNumber* w1 = &twiddles[span];
    const ComplexNumber* w2 = &twiddles[2 * span];
    for (size_t start = 0; start < half; start += 4 * span) {
      ComplexNumber* x = z + start;
      for (size_t k = 0; k < span; ++k) {
        const ComplexNumber a = x[k], b = x[k + span], c = x[k + 2 * span], d = x[k + 3 * span];
        const ComplexNumber wb = w1[k] * b, wd = w1[k] * d;
        const ComplexNumber a1 = a + wb, b1 = a - wb, c1 = c + wd, d1 = c - wd;
        const ComplexNumber wc = w2[k] * c1, t = w2[k] * d1;
        const ComplexNumber wd1(t.im, -t.re);  // t * -i
        x[k] = a1 + wc;
        x[k + 2 * span] = a1 - wc;
        x[k + span] = b1 + wd1;
        x[k + 3 * span] = b1 - wd1;
      }
    }
  }
  // An odd number of stages leaves one radix-2 stage.
  for (; span < half; span *= 2) {
    const ComplexNumber* w = &twiddles[span];
    for (size_t start = 0; start < half; start += 2 * span) {
      ComplexNumber* lo = z + start;
      ComplexNumber* hi = lo + span;
      for (size_t k = 0; k < span; ++k) {
        const ComplexNumber t = w[k] * hi[k];
        hi[k] = lo[k] - t;
        lo[k] = lo[k] + t;
      }
    }
  }
}

ComplexNumber HarmonicFormants::Split(size_t k) const {
  const size_t half = spectrum.size();
  const ComplexNumber z = spectrum[k == half ? 0 : k];  // the half transform is periodic in half
  const ComplexNumber w = spectrum[k == 0 ? 0 : half - k];
  // Even part (z + conj w) / 2, odd part (z - conj w) / 2i; X = even + W^k odd.
  const ComplexNumber even(0.5 * (z.re + w.re), 0.5 * (z.im - w.im));
  const ComplexNumber odd(0.5 * (z.im + w.im), -0.5 * (z.re - w.re));
  return even + splitTwiddles[k] * odd;
}

void HarmonicFormants::PowerSpectrum(const double* frame) {
  const int N = static_cast<int>(frameLength);
  const size_t half = spectrum.size();
  std::copy(frame, frame + N, work.begin());
  std::fill(work.begin() + N, work.end(), 0.0);
  HalfTransform(work.data());
  for (size_t k = 0; k <= half; ++k) {
    const ComplexNumber X = Split(k);
    power[k] = X.re * X.re + X.im * X.im;
  }
  haveSpectrum = true;
}

double HarmonicFormants::Pitch(const double* frame, double sampleRate) {
  const int N = static_cast<int>(frameLength);
  const int shortest = std::max(2, static_cast<int>(sampleRate / kMaxPitch));
  const int longest = std::min(N / 2, static_cast<int>(sampleRate / kMinPitch));
  if (longest <= shortest + 1) return 0.0;
  double* c = correlation.data();
  if (lastLag > 0.0 && sinceFullSearch < kFullSearchEvery) {
    // A voice moves its pitch by a few per cent from one block to the next: the lags around the last
    // period, by the direct sum, are enough, and those around half of it for a voice that jumps up an
    // octave. When that finds no period the frame gets the full search.
    const double r0 = FastDot(frame, frame, N);
    if (!(r0 > 0.0)) return 0.0;
    auto correlate = [&](int from, int to) {
      for (int lag = from - 1; lag <= to + 1; ++lag)
        c[lag] = FastDot(frame, frame + lag, N - lag) / (r0 * windowCorrelation[lag]);
    };
    const int from = std::max(shortest, static_cast<int>(lastLag * (1.0 - kPitchStep)));
    const int to = std::min(longest, static_cast<int>(lastLag * (1.0 + kPitchStep)) + 1);
    correlate(from, to);
    double best = 0.0;
    int bestLag = BestPeak(from, to, best);
    if (best >= kPeriodic) {
      const int halfFrom = std::max(shortest, bestLag / 2 - 2), halfTo = std::min(from - 2, bestLag / 2 + 2);
      if (halfFrom <= halfTo) {
        correlate(halfFrom, halfTo);
        bestLag = ShortestPeak(halfFrom, halfTo, 0.9 * best, bestLag);
      }
      ++sinceFullSearch;
      return sampleRate / (bestLag + PeakShift(bestLag));
    }
  }
  // The power spectrum, kept for the harmonic peaks, and from it the autocorrelation at every lag:
  // two transforms of half the padded length cost less than the direct sums. Digital silence (pauses
  // in a file) has no pitch and needs neither.
  sinceFullSearch = 0;
  if (std::all_of(frame, frame + N, [](double x) { return x == 0.0; })) return 0.0;
  const size_t size = work.size(), half = spectrum.size();
  PowerSpectrum(frame);
  for (size_t k = 0; k <= half; ++k) work[k] = power[k];
  for (size_t k = half + 1; k < size; ++k) work[k] = power[size - k];
  HalfTransform(work.data());
  // The power spectrum is real and even, so its transform is the correlation (times the length).
  for (int lag = 0; lag <= longest + 1; ++lag) c[lag] = Split(static_cast<size_t>(lag)).re;
  const double r0 = c[0];
  if (!(r0 > 0.0)) return 0.0;
  for (int lag = shortest - 1; lag <= longest + 1; ++lag) c[lag] /= r0 * windowCorrelation[lag];
  // The best peak and then the shortest lag that comes within 10 % of it, so that a frame does not
  // take twice its period.
  double best = 0.0;
  int bestLag = BestPeak(shortest, longest, best);
  if (best < kPeriodic) return 0.0;
  bestLag = ShortestPeak(shortest, bestLag - 1, 0.9 * best, bestLag);
  return sampleRate / (bestLag + PeakShift(bestLag));
}

int HarmonicFormants::BestPeak(int from, int to, double& best) const {
  const double* c = correlation.data();
  best = 0.0;
  int bestLag = 0;
  for (int lag = from; lag <= to; ++lag) {
    if (c[lag] > c[lag - 1] && c[lag] >= c[lag + 1] && c[lag] > best) {
      best = c[lag];
      bestLag = lag;
    }
  }
  return bestLag;
}

int HarmonicFormants::ShortestPeak(int from, int to, double atLeast, int otherwise) const {
  const double* c = correlation.data();
  for (int lag = from; lag <= to; ++lag) {
    if (c[lag] > c[lag - 1] && c[lag] >= c[lag + 1] && c[lag] >= atLeast) return lag;
  }
  return otherwise;
}

double HarmonicFormants::PeakShift(int lag) const {
  // Between whole lags: the vertex of the parabola through the peak and its neighbours.
  const double left = correlation[lag - 1], middle = correlation[lag], right = correlation[lag + 1];
  const double bend = left - 2.0 * middle + right;
  return bend < 0.0 ? std::clamp(0.5 * (left - right) / bend, -0.5, 0.5) : 0.0;
}

bool HarmonicFormants::HarmonicPeaks(double sampleRate, double pitch) {
  const size_t size = work.size();
  const double binHz = sampleRate / static_cast<double>(size);
  const double top = std::min(kTopHarmonic, 0.5 * sampleRate - 0.5 * pitch);
  peakCount = 0;
  // Each harmonic's peak: the strongest bin within a quarter of F0 of where it should be, refined by the
  // parabola through the log powers of it and its neighbours.
  for (int k = 1; k * pitch < top && peakCount < kMaxPeaks; ++k) {
    // At the harmonic itself: within one frame the pitch is known better than any one peak's place. The
    // pre-emphasised spectrum: the power of the frame's, times that of the first difference.
    peakAngle[peakCount] = 2.0 * kPi * k * pitch / sampleRate;
    peakPower[peakCount] = std::exp(HarmonicLevel(binHz, k * pitch, pitch, emphasis.data()));
    ++peakCount;
  }
  return peakCount > kHighOrder / 2;
}

double HarmonicFormants::HarmonicLevel(double binHz, double hz, double pitch, const double* gain) const {
  const size_t size = work.size();
  auto binPower = [&](long b) {
    return power[static_cast<size_t>(b)] * (gain ? gain[static_cast<size_t>(b)] : 1.0);
  };
  const double centre = hz / binHz;
  const long from = std::max(1L, std::lround(centre - 0.25 * pitch / binHz));
  const long to = std::min(static_cast<long>(size / 2) - 2, std::lround(centre + 0.25 * pitch / binHz));
  long bin = from;
  double strongest = -1.0;
  for (long b = from; b <= to; ++b) {
    const double p = binPower(b);
    if (p > strongest) {
      strongest = p;
      bin = b;
    }
  }
  const double left = std::log(binPower(bin - 1) + 1e-30), middle = std::log(binPower(bin) + 1e-30),
               right = std::log(binPower(bin + 1) + 1e-30);
  const double bend = left - 2.0 * middle + right;
  const double shift = bend < 0.0 ? std::clamp(0.5 * (left - right) / bend, -0.5, 0.5) : 0.0;
  return middle - 0.25 * (left - right) * shift;
}

void HarmonicFormants::FollowTilt(double sampleRate, double pitch, const double* frequencies,
                                  const double* bandwidths, int count) {
  // H1 - H2 of the block, less what its resonances (unit gain at 0 Hz, as a cascade has) give the two
  // harmonics: what is left is the source's slope over that octave.
  const double binHz = sampleRate / static_cast<double>(work.size());
  const double toDb = 10.0 / std::log(10.0);
  double slope = toDb * (HarmonicLevel(binHz, pitch, pitch, nullptr) - HarmonicLevel(binHz, 2.0 * pitch, pitch, nullptr));
  const ComplexNumber z1(std::cos(2.0 * kPi * pitch / sampleRate), std::sin(2.0 * kPi * pitch / sampleRate));
  const ComplexNumber z2 = z1 * z1;
  double correction = 0.0;
  for (int i = 0; i < std::min(count, 4) && frequencies[i] > 0.0; ++i) {
    const double radius = std::exp(-kPi * bandwidths[i] / sampleRate), angle = 2.0 * kPi * frequencies[i] / sampleRate;
    const ComplexNumber pole(radius * std::cos(angle), radius * std::sin(angle));
    const ComplexNumber one(1.0, 0.0);
    // |(1 - p)(1 - conj p)|^2 / |(z - p)(z - conj p)|^2, in dB, at each harmonic.
    auto gainDb = [&](const ComplexNumber& z) {
      const ComplexNumber dc = (one - pole) * (one - ComplexNumber(pole.re, -pole.im));
      const ComplexNumber at = (z - pole) * (z - ComplexNumber(pole.re, -pole.im));
      return toDb * std::log((dc.re * dc.re + dc.im * dc.im) / (at.re * at.re + at.im * at.im));
    };
    correction += gainDb(z1) - gainDb(z2);
  }
  // A resonance on H1 or H2 lifts it by more than its estimate can be trusted for: such a block says
  // little about the source.
  if (!(std::fabs(correction) <= kMostCorrection)) return;
  slope -= correction;
  if (!std::isfinite(slope)) return;
  tiltExcess += kTiltSmoothing * (std::clamp(slope - kUsualTilt, -20.0, 20.0) - tiltExcess);
}

void HarmonicFormants::UndoTilt(double sampleRate, double pitch) {
  // Beyond the dead zone, stretched so that the most is undone in full.
  const double beyond = std::max(0.0, std::fabs(tiltExcess) - kTiltDeadZone);
  const double undo = std::min(kMaxTilt, beyond * kMaxTilt / (kMaxTilt - kTiltDeadZone));
  if (!(undo > 0.0) || !(pitch > 0.0)) return;
  // A section 1 - c z^-1 changes the power ratio of w to 2w by q = (a^2 + w^2) / (a^2 + 4 w^2), a = 1 - c,
  // near its corner: the corner a that gives `undo` dB over the octave.
  const double w = 2.0 * kPi * pitch / sampleRate;
  const double q = std::pow(10.0, -undo / 10.0);
  const double c = std::clamp(1.0 - w * std::sqrt(std::max(0.0, (4.0 * q - 1.0) / (1.0 - q))), 0.0, 0.99);
  const int N = static_cast<int>(frameLength);
  double* x = work.data();
  if (tiltExcess > 0.0) {
    PreEmphasis(x, x, c, N);  // darker: one more lift
  } else {
    for (int n = 1; n < N; ++n) x[n] += c * x[n - 1];  // brighter: its inverse
  }
}

bool HarmonicFormants::DiscreteAllPole(int p) {
  const int M = peakCount;
  constexpr size_t kRow = kHighOrder + 1;
  // e^{-i k w_m} twice over: by peak (row m), for the sums over k, and by power (row k), for the
  // sums over the peaks; either way the inner loop runs over independent values.
  for (int m = 0; m < M; ++m) {
    const ComplexNumber step(std::cos(peakAngle[m]), -std::sin(peakAngle[m]));
    ComplexNumber z(1.0, 0.0);
    for (int k = 0; k <= p; ++k) {
      byPeakRe[m * kRow + k] = byPowerRe[k * kMaxPeaks + m] = z.re;
      byPeakIm[m * kRow + k] = byPowerIm[k * kMaxPeaks + m] = z.im;
      z = z * step;
    }
  }
  // The autocorrelation of the line spectrum of the peaks: cos(i w) is the real part of the phasors.
  for (int i = 0; i <= p; ++i) {
    double sum = 0.0;
    for (int m = 0; m < M; ++m) sum += peakPower[m] * byPowerRe[i * kMaxPeaks + m];
    r[i] = sum / M;
  }
  if (!(r[0] > 0.0)) return false;
  for (int i = p; i >= 0; --i) r[i] /= r[0];
  for (int i = 0; i < p; ++i) {
    for (int k = 0; k < p; ++k) toeplitz[i * p + k] = r[std::abs(i - k)];
  }
  // The matrix stays the same through the passes: factored once.
  if (!CholeskyFactor(p, toeplitz.data())) return false;
  // From linear prediction of the same line spectrum.
  if (!(LevinsonDurbin(r.data(), a.data(), p) > 0.0)) return false;
  double* Are = modelRe.data();
  double* Aim = modelIm.data();
  // Fixed point of the minimum Itakura-Saito distance: sum_k a_k r(i - k) = g^2 h(i), i = 1 .. p, with
  // h(i) the mean of Re(e^{-i i w} / A(w)) over the peaks and g^2 = a' R a; damped steps keep it stable.
  for (int pass = 0; pass < kPasses; ++pass) {
    double gain = 0.0;
    for (int k = 0; k <= p; ++k) {
      double row = a[k] * r[0];
      for (int l = k + 1; l <= p; ++l) row += 2.0 * a[l] * r[l - k];
      gain += a[k] * row;
    }
    // 1 / A(w) at every peak.
    std::fill(Are, Are + M, 0.0);
    std::fill(Aim, Aim + M, 0.0);
    for (int k = 0; k <= p; ++k) {
      const double c = a[k];
      const double* re = &byPowerRe[k * kMaxPeaks];
      const double* im = &byPowerIm[k * kMaxPeaks];
      for (int m = 0; m < M; ++m) {
        Are[m] += c * re[m];
        Aim[m] += c * im[m];
      }
    }
    for (int m = 0; m < M; ++m) {
      const double d = Are[m] * Are[m] + Aim[m] * Aim[m];
      if (!(d > 0.0)) return false;
      Are[m] /= d;
      Aim[m] = -Aim[m] / d;
    }
    std::fill(h.begin(), h.end(), 0.0);
    for (int m = 0; m < M; ++m) {
      const double* re = &byPeakRe[m * kRow];
      const double* im = &byPeakIm[m * kRow];
      for (int i = 1; i <= p; ++i) h[i] += re[i] * Are[m] - im[i] * Aim[m];
    }
    for (int i = 0; i < p; ++i) rhs[i] = gain * h[i + 1] / M - r[i + 1];
    CholeskySolve(p, toeplitz.data(), rhs.data());
    double moved = 0.0;
    for (int k = 1; k <= p; ++k) {
      const double updated = a[k] + kDamping * (rhs[k - 1] - a[k]);
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
  if (rootFinder.Find(p, a.data(), roots.data())) {
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
  haveSpectrum = false;
  const double pitch = Pitch(frame, sampleRate);
  lastPitch = pitch;
  // A frame without a period sends the next one back to the full search.
  lastLag = pitch > 0.0 ? sampleRate / pitch : 0.0;
  if (pitch >= kHighVoice && !haveSpectrum) PowerSpectrum(frame);
  if (pitch >= kHighVoice && HarmonicPeaks(sampleRate, pitch) && DiscreteAllPole(kHighOrder)) {
    Resonances(kHighOrder, sampleRate, maxBandwidth, frequencies, bandwidths, count);
    // A sound with too few harmonics for the model (a bare tone) keeps what prediction finds in it.
    lastHarmonic = count == 0 || frequencies[0] > 0.0;
    if (lastHarmonic) return;
  }
  // Linear prediction of the pre-emphasised frame.
  const int N = static_cast<int>(frameLength);
  PreEmphasis(frame, work.data(), preEmphasis, N);
  // A further, gentler lift: what remains of the glottal pulse's low-frequency hump pulls F1 down
  // onto the harmonic below it (7 % for a man's /i/).
  PreEmphasis(work.data(), work.data(), kLowVoiceLift, N);
  if (followTilt) {
    if (pitch > 0.0) tiltPitch = pitch;
    UndoTilt(sampleRate, tiltPitch);
  }
  const double r0 = FastDot(work.data(), work.data(), N);
  bool found = false;
  if (r0 >= 1e-10) {
    r[0] = 1.0;
    for (int i = 1; i <= kLowOrder; ++i) r[i] = FastDot(work.data(), work.data() + i, N - i) / r0;
    found = LevinsonDurbin(r.data(), a.data(), kLowOrder) > 0.0;
  }
  if (found) {
    Resonances(kLowOrder, sampleRate, maxBandwidth, frequencies, bandwidths, count);
    if (followTilt && haveSpectrum && pitch > 0.0) FollowTilt(sampleRate, pitch, frequencies, bandwidths, count);
  } else {
    for (int i = 0; i < count; ++i) frequencies[i] = bandwidths[i] = 0.0;
  }
}

}  // namespace vowelscope
