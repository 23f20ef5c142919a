#pragma once
// Polynomials whose roots are known, for the root searches' tests and benches.

#include <vector>

namespace vowelscope::testpolynomials {

// (z - root)^degree, leading coefficient first: a root of that multiplicity, which an iteration that
// stops at steps of 1e-10 never pins down.
inline std::vector<double> MultipleRoot(double root, int degree) {
  std::vector<double> a{1.0};
  for (int k = 0; k < degree; ++k) {
    std::vector<double> next(a.size() + 1, 0.0);
    for (size_t i = 0; i < a.size(); ++i) {
      next[i] += a[i];
      next[i + 1] -= root * a[i];
    }
    a = next;
  }
  return a;
}

}  // namespace vowelscope::testpolynomials
