#pragma once
// Window functions for framing sound: the weight of sample n of an N-sample window, 0 outside 0..N-1.

namespace vowelscope {

using WindowFunction = double (*)(int n, int N);

enum WindowType : int {
  RectangularWindow = 0,  // no function: frames are used unweighted
  HannWindow = 1,
  HammingWindow = 2,
  BlackmanWindow = 3,
  TriangularWindow = 4,
  SincWindow = 5,
};

// The tapering formulas divide by N - 1 (the triangle by (N - 1) / 2 in integers); a window too short
// to taper (N = 1, and N = 2 for the triangle) weights every sample 1 instead of dividing by zero.
double Hann(int n, int N);
double Hamming(int n, int N);
double Blackman(int n, int N);
// h = (N - 1) / 2 in integers, so an even N ends below zero (N = 4 gives 0, 1, 0, -1).
double Triangular(int n, int N);
double Sinc(int n, int N);

// The function of a window-type number; null for 0 (rectangular) and for unknown numbers.
WindowFunction GetWindowFunction(unsigned type);

}  // namespace vowelscope
