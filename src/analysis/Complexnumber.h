#pragma once
// The complex arithmetic of the root search: plain doubles, every result rounded to double.

#include <cmath>

namespace vowelscope {

struct ComplexNumber {
  double re = 0.0;
  double im = 0.0;

  constexpr ComplexNumber() = default;
  constexpr ComplexNumber(double re, double im) : re(re), im(im) {}

  // sqrt(re^2 + im^2) computed directly (not hypot): the root search compares it against fixed limits.
  double Abs() const { return std::sqrt(re * re + im * im); }
};

inline ComplexNumber operator+(const ComplexNumber& a, const ComplexNumber& b) {
  return {a.re + b.re, a.im + b.im};
}

inline ComplexNumber operator-(const ComplexNumber& a, const ComplexNumber& b) {
  return {a.re - b.re, a.im - b.im};
}

inline ComplexNumber operator*(const ComplexNumber& a, const ComplexNumber& b) {
  return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}

// The divisor is not checked: dividing by 0 gives infinities or NaNs, as with doubles.
inline ComplexNumber operator/(const ComplexNumber& a, const ComplexNumber& b) {
  double d = b.re * b.re + b.im * b.im;
  return {(a.re * b.re + a.im * b.im) / d, (a.im * b.re - a.re * b.im) / d};
}

inline double Abs(const ComplexNumber& z) { return z.Abs(); }

}  // namespace vowelscope
