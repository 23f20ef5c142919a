#include "analysis/Lpc.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "analysis/Mathutilities.h"

namespace vowelscope {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kInverseTwoPi = 0.15915494309189535;
constexpr double kTiny = 1e-10;
constexpr int kMaxPasses = 4095;
}  // namespace

void PreEmphasis(const double* source, double* destination, double coefficient, int N) {
  if (N <= 0) return;
  if (coefficient == 0.0) {
    if (destination != source) std::copy(source, source + N, destination);
    return;
  }
  for (int k = N - 1; k >= 1; --k) destination[k] = source[k] - coefficient * source[k - 1];
  destination[0] = source[0];
}

double Autocorrelation(const double* x, int N, int p, double* r) {
  double r0 = DotProduct(x, x, N);
  if (std::fabs(r0) < kTiny) {
    for (int i = 0; i <= p; ++i) r[i] = 0.0;
    return 0.0;
  }
  r[0] = 1.0;
  for (int i = 1; i <= p; ++i) r[i] = i < N ? DotProduct(x, x + i, N - i) / r0 : 0.0;
  return r0;
}

double PreEmphasisAutocorrelation(const double* frame, double* work, double* r, double coefficient, int p, int N) {
  PreEmphasis(frame, work, coefficient, N);
  return Autocorrelation(work, N, p, r);
}

double LevinsonDurbin(const double* r, double* a, int p) {
  a[0] = 1.0;
  double e = 0.0;
  if (p >= 1) {
    a[1] = -r[1];
    e = 1.0 - r[1] * r[1];
  }
  for (int i = 2; i <= p; ++i) {
    double b = r[i];
    for (int j = 1; j < i; ++j) b += a[j] * r[i - j];
    if (e == 0.0) break;
    double k = b / e;
    a[i] = -k;
    // Symmetric in-place update of a[1 .. i-1], pairs taken from the outside in.
    for (int j = 1, l = i - 1; j <= l; ++j, --l) {
      double t = a[j];
      a[j] = t - k * a[l];
      if (j < l) a[l] = a[l] - k * t;
    }
    e *= 1.0 - k * k;
  }
  if (e != 0.0) return e;
  for (int i = 1; i <= p; ++i) a[i] = 0.0;
  return 0.0;
}

bool FindRoots(int p, const double* a, ComplexNumber* guesses, ComplexNumber* roots) {
  if (p <= 0) return false;
  for (int k = 0; k < p; ++k) roots[k] = guesses[k] = ComplexNumber();

  int d = p;
  while (d >= 1 && a[d] == 0.0) --d;
  if (d == 0) d = p;  // all zero: z^p, every root is 0
  if (std::fabs(a[0]) < kTiny) return false;
  if (d == 1) {
    roots[0] = ComplexNumber(-a[1] / a[0], 0.0);
    return true;
  }

  // Start on a circle that encloses every root (a Cauchy-type bound), rotated off the real axis.
  double c = std::fabs(a[1] / a[0]);
  for (int i = 2; i <= d; ++i) {
    double v = std::fabs(a[i] / a[0]);
    if (v >= kTiny) c = std::max(c, std::pow(v, 1.0 / i));
  }
  double radius = d * c;
  double step = 2.0 * kPi / d;
  for (int k = 0; k < d; ++k) {
    double theta = step * k + step * 0.25;
    guesses[k] = ComplexNumber(radius * std::cos(theta), radius * std::sin(theta));
  }

  const double lead = a[0];
  bool converged = false;
  for (int pass = 0; pass < kMaxPasses && !converged; ++pass) {
    // Four roots at a time: their products and polynomial values are independent chains that the
    // processor can overlap. Each lane does exactly the operations of ComplexNumber's *, + and /.
    for (int k0 = 0; k0 < d; k0 += 4) {
      double zr[4], zi[4], qr[4], qi[4], fr[4], fi[4];
      for (int l = 0; l < 4; ++l) {
        const ComplexNumber z = guesses[k0 + l < d ? k0 + l : k0];  // idle lanes repeat a root
        zr[l] = z.re;
        zi[l] = z.im;
        qr[l] = 1.0;
        qi[l] = 0.0;
        fr[l] = a[0];
        fi[l] = 0.0;
      }
      // q = product of (z - guesses[j]) over j != k.
      for (int j = 0; j < d; ++j) {
        const double gr = guesses[j].re, gi = guesses[j].im;
#pragma GCC unroll 4
        for (int l = 0; l < 4; ++l) {
          const double dr = zr[l] - gr, di = zi[l] - gi;
          const double nr = qr[l] * dr - qi[l] * di, ni = qr[l] * di + qi[l] * dr;
          const bool self = j == k0 + l;
          qr[l] = self ? qr[l] : nr;
          qi[l] = self ? qi[l] : ni;
        }
      }
      // f = the polynomial at z by Horner's rule.
      for (int i = 1; i <= d; ++i) {
        const double c = a[i];
#pragma GCC unroll 4
        for (int l = 0; l < 4; ++l) {
          const double nr = fr[l] * zr[l] - fi[l] * zi[l], ni = fr[l] * zi[l] + fi[l] * zr[l];
          fr[l] = nr + c;
          fi[l] = ni + 0.0;
        }
      }
      for (int l = 0; l < 4 && k0 + l < d; ++l) {
        const ComplexNumber z(zr[l], zi[l]);
        // The step is f / (a[0] q): the iteration needs the monic polynomial; with a[0] = 1, as the
        // recursion gives, the division changes nothing.
        const ComplexNumber f(fr[l] / lead, fi[l] / lead);
        const ComplexNumber q(qr[l], qi[l]);
        // |q| is 0 exactly when re^2 + im^2 is.
        roots[k0 + l] = q.re * q.re + q.im * q.im == 0.0 ? z - f : z - f / q;
      }
    }
    converged = true;
    for (int k = 0; k < d; ++k) {
      if ((roots[k] - guesses[k]).Abs() > kTiny) {
        converged = false;
        break;
      }
    }
    for (int k = 0; k < d; ++k) guesses[k] = roots[k];
  }
  return converged;
}

Resonance RootToResonance(double sampleRate, const ComplexNumber& root) {
  const double x = root.re;
  const double y = root.im;
  const double m = x * x + y * y;
  if (!(m > 0.0 && m < 1.0)) return {};

  double theta;
  if (x > 0.0) {
    theta = std::atan(y / x);
  } else if (x < 0.0) {
    if (y > 0.0) theta = kPi - std::atan(std::fabs(y / x));
    else if (y < 0.0) theta = std::atan(std::fabs(y / x)) - kPi;
    else theta = 0.0;
  } else {
    theta = y > 0.0 ? kPi / 2.0 : (y < 0.0 ? -kPi / 2.0 : 0.0);
  }

  Resonance r;
  r.frequency = std::fabs(theta) * sampleRate * kInverseTwoPi;
  if (r.frequency > 0.0 && r.frequency < sampleRate / 2.0) {
    r.bandwidth = -std::log(m) * sampleRate * kInverseTwoPi;
  } else {
    r.frequency = 0.0;
  }
  return r;
}

bool LpcResonances(double sampleRate, int p, const double* a, double* frequencies, double* bandwidths) {
  bool found = false;
  std::vector<Resonance> resonances;
  if (p > 0) {
    try {
      std::vector<ComplexNumber> guesses(p), roots(p);
      resonances.resize(p);
      found = FindRoots(p, a, guesses.data(), roots.data());
      if (found) {
        for (int k = 0; k < p; ++k) resonances[k] = RootToResonance(sampleRate, roots[k]);
      }
    } catch (const std::bad_alloc&) {
      found = false;
    }
  }
  if (!found) {
    for (int k = 0; k < p; ++k) frequencies[k] = bandwidths[k] = 0.0;
    return false;
  }
  std::sort(resonances.begin(), resonances.end(), [](const Resonance& l, const Resonance& r) {
    return l.frequency < r.frequency || (l.frequency == r.frequency && l.bandwidth < r.bandwidth);
  });
  for (int k = 0; k < p; ++k) {
    frequencies[k] = resonances[k].frequency;
    bandwidths[k] = resonances[k].bandwidth;
  }
  return true;
}

}  // namespace vowelscope
