#pragma once
// The normalised (Pearson) correlation between a frame and itself shifted by each whole lag of a range:
// the curve in which a pitch period shows as a peak. For every lag the sums of x and x^2 over either
// side come from prefix sums of the frame, and the lagged products of several lags are summed in one
// pass over it (on processors with AVX2, sixteen 16-bit products per instruction for frames of 16-bit
// sound, four doubles at a time otherwise). With 16-bit samples every such sum is an exact integer, so the values differ from summing each lag from scratch only by the
// rounding of the final root and division (float samples may differ a little more).

#include <cstdint>
#include <vector>

namespace vowelscope {

class LagCorrelation {
 public:
  // Frames of N samples, lags lagMin .. lagMax - 1 (1 <= lagMin < lagMax < N). May throw bad_alloc.
  LagCorrelation(unsigned N, unsigned lagMin, unsigned lagMax);

  // correlation[lag - lagMin] for every lag of the range: the correlation coefficient of the N - lag
  // pairs (x[k], x[k + lag]), 0 when either side is constant. Returns the frame's sum of squares.
  double Compute(const double* x, double* correlation);

  unsigned LagCount() const { return count; }

 private:
  unsigned N;
  unsigned lagMin;
  unsigned count;
  std::vector<double> prefix;         // prefix[k] = x[0] + ... + x[k - 1]
  std::vector<double> prefixSquares;  // the same for x^2
  std::vector<double> work;           // per-lag constants and sums
  static constexpr unsigned kZeroTail = 32;
  std::vector<int16_t> samples16;     // the frame as 16-bit samples, then kZeroTail zeros
};

}  // namespace vowelscope
