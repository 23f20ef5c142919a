#pragma once
// The roots of one prediction polynomial per frame, cheaply, for the automatic formant analysis.
//
// Neighbouring 25 ms frames of a voice have nearly the same polynomial, so the last frame's roots are a
// start from which the Aberth-Ehrlich iteration (Newton's step on each root, corrected by the pull of all
// the others so that two starts cannot settle on one root; cubic convergence) pins every root down to
// 1e-10 in three or four passes. Without a previous frame of the same order it starts on a circle of the
// roots' mean radius, which for these polynomials (roots near the unit circle) takes a dozen passes; only
// when that does not converge within a small number of passes does it fall back to FindRoots from its
// standard start, so a frame costs a bounded number of passes however its neighbour looked.
// The converged roots are those of FindRoots to far better than 0.01 Hz: both stop at steps of 1e-10.
//
// One instance per caller and per thread; the arrays are allocated by Prepare, Find allocates nothing.

#include <vector>

#include "analysis/Complexnumber.h"

namespace vowelscope {

class WarmRoots {
 public:
  // Room for polynomials up to degree maxOrder, with no previous roots (a new recording starts cold);
  // false, with nothing allocated, when that fails.
  bool Prepare(int maxOrder);
  void Release();

  // The p roots of a[0] z^p + ... + a[p] (a[0] = 1 as the recursion gives it) into roots[0 .. p - 1],
  // starting from the last roots found for the same p when there are any. False when neither the
  // iteration nor FindRoots converged; the warm start is then forgotten.
  bool Find(int p, const double* a, ComplexNumber* roots);

  // How the last Find went: passes of the iteration, and whether FindRoots had to take over.
  int LastPasses() const { return lastPasses; }
  bool LastFellBack() const { return lastFellBack; }

 private:
  bool Iterate(int p, const double* a, ComplexNumber* z, int passes);

  int capacity = 0;
  int lastPasses = 0;
  bool lastFellBack = false;
  // The last roots found for each order p, capacity entries from p * capacity; known[p] when there are.
  std::vector<ComplexNumber> previous;
  std::vector<unsigned char> known;
  std::vector<ComplexNumber> guesses;   // scratch of FindRoots
  std::vector<unsigned char> settled;
};

}  // namespace vowelscope
