#include "analysis/Warmroots.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "analysis/Lpc.h"

namespace vowelscope {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kSettled = 1e-10;  // the step at which FindRoots, too, calls a root found
constexpr int kWarmPasses = 12;
constexpr int kColdPasses = 40;
}  // namespace

bool WarmRoots::Prepare(int maxOrder) {
  Release();
  if (maxOrder < 1) return false;
  try {
    const size_t n = static_cast<size_t>(maxOrder);
    previous.assign((n + 1) * n, {});
    known.assign(n + 1, 0);
    guesses.assign(n, {});
    settled.assign(n, 0);
  } catch (const std::bad_alloc&) {
    Release();
    return false;
  }
  capacity = maxOrder;
  return true;
}

void WarmRoots::Release() {
  previous = {};
  known = {};
  guesses = {};
  settled = {};
  capacity = 0;
}

bool WarmRoots::Iterate(int p, const double* a, ComplexNumber* z, int passes) {
  std::fill(settled.begin(), settled.begin() + p, 0);
  for (int pass = 1; pass <= passes; ++pass) {
    bool moved = false;
    // Each root in turn, with the others as they stand now (Gauss-Seidel): the newest values pull.
    for (int k = 0; k < p; ++k) {
      if (settled[k]) continue;
      const double zr = z[k].re, zi = z[k].im;
      // The polynomial and its derivative by Horner's rule.
      double fr = a[0], fi = 0.0, dr = 0.0, di = 0.0;
      for (int i = 1; i <= p; ++i) {
        const double ndr = dr * zr - di * zi + fr, ndi = dr * zi + di * zr + fi;
        dr = ndr;
        di = ndi;
        const double nfr = fr * zr - fi * zi + a[i], nfi = fr * zi + fi * zr;
        fr = nfr;
        fi = nfi;
      }
      // The pull of the other roots: the sum of 1 / (z - z_j).
      double sr = 0.0, si = 0.0;
      for (int j = 0; j < p; ++j) {
        if (j == k) continue;
        const double xr = zr - z[j].re, xi = zi - z[j].im;
        const double m = xr * xr + xi * xi;
        if (m == 0.0) return false;  // two roots on one point: no step is defined
        sr += xr / m;
        si -= xi / m;
      }
      // Newton's ratio f / f', then the step w = N / (1 - N S).
      const double dm = dr * dr + di * di;
      if (dm == 0.0) return false;
      const double nr = (fr * dr + fi * di) / dm, ni = (fi * dr - fr * di) / dm;
      const double er = 1.0 - (nr * sr - ni * si), ei = -(nr * si + ni * sr);
      const double em = er * er + ei * ei;
      if (em == 0.0) return false;
      const double wr = (nr * er + ni * ei) / em, wi = (ni * er - nr * ei) / em;
      if (!std::isfinite(wr) || !std::isfinite(wi)) return false;
      z[k] = ComplexNumber(zr - wr, zi - wi);
      if (std::sqrt(wr * wr + wi * wi) <= kSettled) {
        settled[k] = 1;
      } else {
        moved = true;
      }
    }
    if (!moved) {
      lastPasses = pass;
      return true;
    }
  }
  lastPasses = passes;
  return false;
}

bool WarmRoots::Find(int p, const double* a, ComplexNumber* roots) {
  lastPasses = 0;
  lastFellBack = false;
  if (p < 1 || p > capacity || std::fabs(a[0]) < 1e-10 || a[p] == 0.0) {
    // Roots at 0 and degenerate polynomials: the standard search handles them as it always has.
    if (p >= 1 && p <= capacity) known[p] = 0;
    lastFellBack = true;
    return p >= 1 && p <= capacity && FindRoots(p, a, guesses.data(), roots);
  }
  ComplexNumber* last = &previous[static_cast<size_t>(p) * capacity];
  bool found = false;
  if (known[p]) {
    std::copy(last, last + p, roots);
    found = Iterate(p, a, roots, kWarmPasses);
  }
  if (!found) {
    // A circle of the roots' geometric mean radius (|a[p] / a[0]| is the product of their moduli),
    // turned off the real axis so that no start is its neighbour's conjugate.
    const double radius = std::clamp(std::pow(std::fabs(a[p] / a[0]), 1.0 / p), 0.5, 1.2);
    const double step = 2.0 * kPi / p;
    for (int k = 0; k < p; ++k) {
      const double theta = step * k + step * 0.25;
      roots[k] = ComplexNumber(radius * std::cos(theta), radius * std::sin(theta));
    }
    found = Iterate(p, a, roots, kColdPasses);
  }
  if (!found) {
    lastFellBack = true;
    found = FindRoots(p, a, guesses.data(), roots);
  }
  known[p] = found;
  if (found) std::copy(roots, roots + p, last);
  return found;
}

}  // namespace vowelscope
