#pragma once
// Small numeric helpers shared by the analyses and the charts.

namespace vowelscope {

class SoundFormat;

// floor(x + 0.5): rounds halves up; meant for non-negative values (pixel positions).
double Round(double x);

// Sum of x[k] * y[k] for k = 0 .. n - 1, added in order from k = 0; 0 when n <= 0.
double DotProduct(const double* x, const double* y, int n);

// SecondsToFrames of the format for durations taken from settings: 0 for negative or NaN seconds and
// the largest count for durations beyond it, where a plain conversion to unsigned is undefined.
unsigned SecondsToFramesClamped(const SoundFormat& format, double seconds);

}  // namespace vowelscope
