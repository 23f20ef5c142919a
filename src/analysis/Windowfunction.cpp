#include "analysis/Windowfunction.h"

#include <cmath>

namespace vowelscope {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

// Outside the window every function is 0; a one-sample window is that sample, unweighted.
bool Outside(int n, int N) { return n < 0 || n >= N; }
}  // namespace

double Hann(int n, int N) {
  if (Outside(n, N)) return 0.0;
  if (N == 1) return 1.0;
  return 0.5 - 0.5 * std::cos(kTwoPi * n / static_cast<double>(N - 1));
}

double Hamming(int n, int N) {
  if (Outside(n, N)) return 0.0;
  if (N == 1) return 1.0;
  return 0.54 - 0.46 * std::cos(kTwoPi * n / static_cast<double>(N - 1));
}

double Blackman(int n, int N) {
  if (Outside(n, N)) return 0.0;
  if (N == 1) return 1.0;
  double c = kTwoPi * n / static_cast<double>(N - 1);
  return 0.42 - 0.5 * std::cos(c) + 0.08 * std::cos(2.0 * c);
}

double Triangular(int n, int N) {
  if (Outside(n, N)) return 0.0;
  int half = (N - 1) / 2;
  if (half == 0) return 1.0;
  double h = static_cast<double>(half);
  return n < half ? n / h : 2.0 - n / h;
}

double Sinc(int n, int N) {
  if (Outside(n, N)) return 0.0;
  if (N == 1) return 1.0;
  double x = (static_cast<double>(2 * n) / static_cast<double>(N - 1) - 1.0) * kPi;
  return x == 0.0 ? 1.0 : std::sin(x) / x;
}

WindowFunction GetWindowFunction(unsigned type) {
  switch (type) {
    case HannWindow: return Hann;
    case HammingWindow: return Hamming;
    case BlackmanWindow: return Blackman;
    case TriangularWindow: return Triangular;
    case SincWindow: return Sinc;
    default: return nullptr;
  }
}

}  // namespace vowelscope
