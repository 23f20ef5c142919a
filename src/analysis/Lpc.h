#pragma once
// Linear prediction of a frame and the resonances of the prediction polynomial: pre-emphasis,
// normalised autocorrelation, the Levinson-Durbin recursion, all complex roots by the Durand-Kerner
// (Weierstrass) simultaneous iteration, and each root inside the unit circle as a frequency and a
// 3 dB bandwidth. Free functions over caller-owned arrays; only LpcResonances allocates.

#include "analysis/Complexnumber.h"

namespace vowelscope {

// destination[0] = source[0], destination[k] = source[k] - coefficient * source[k - 1]; a coefficient of
// 0 copies. Works backwards, so source and destination may be the same array.
void PreEmphasis(const double* source, double* destination, double coefficient, int N);

// r[0 .. p] = autocorrelation of x normalised by r0 = sum of x^2, so r[0] = 1; returns r0. A frame with
// r0 below 1e-10 gives r all 0 and returns 0.
double Autocorrelation(const double* x, int N, int p, double* r);

// PreEmphasis of frame into work (N doubles), then Autocorrelation of work; returns the energy.
double PreEmphasisAutocorrelation(const double* frame, double* work, double* r, double coefficient, int p, int N);

// Fills a[0 .. p] (a[0] = 1) from the normalised autocorrelation r[0 .. p]; returns the final normalised
// prediction error, or 0 (with a[1 .. p] = 0) when the recursion broke down.
double LevinsonDurbin(const double* r, double* a, int p);

// The p roots of a[0] z^p + a[1] z^(p-1) + ... + a[p] in roots[0 .. p - 1]; guesses is scratch of p
// values. Roots of dropped trailing zero coefficients are 0. False when the polynomial has no degree,
// a[0] is (nearly) 0, or 4095 passes did not converge (roots then hold the last pass).
bool FindRoots(int p, const double* a, ComplexNumber* guesses, ComplexNumber* roots);

struct Resonance {
  double frequency = 0.0;  // Hz
  double bandwidth = 0.0;  // Hz, 3 dB
};

// The resonance of a root strictly inside the unit circle with 0 < frequency < sampleRate / 2; both 0
// for real roots, roots at 0 and roots on or outside the unit circle. A conjugate gives the same pair.
Resonance RootToResonance(double sampleRate, const ComplexNumber& root);

// All p resonances of a, sorted by frequency and then bandwidth (rejected roots, frequency 0, first;
// a conjugate pair takes two neighbouring places). When the roots cannot be found both arrays are
// set to 0 and the result is false.
bool LpcResonances(double sampleRate, int p, const double* a, double* frequencies, double* bandwidths);

}  // namespace vowelscope
