#pragma once
// Formants that are right for low and high voices alike, from one 25 ms frame.
//
// Linear prediction from the autocorrelation fits the all-pole model to the whole short-time spectrum. For a
// man's voice, with harmonics about 100 Hz apart, that spectrum is close to the vocal tract's envelope and a
// model of order 14 (seven resonances below 5.5 kHz: four or five formants, the glottal slope and spare)
// finds F1 and F2 within a few per cent. For a woman's or a child's voice the harmonics lie 200-350 Hz
// apart, so the spectrum is a comb: the autocorrelation is the envelope's aliased by the period, the model
// lays its poles on single harmonics, and F1 comes out 10-25 % off (the /i/, /u/ and /o/ of women), or two
// poles take the F1 and F2 places at once (a child's /a/ at order 16). No order fixes that.
//
// So each frame first gets a pitch, from its autocorrelation divided by the window's own. A frame that is
// clearly periodic with F0 above about 165 Hz is modelled by discrete all-pole modelling: the all-pole
// model is fitted only to the spectrum at the harmonics, the only places where a periodic sound says
// anything about its envelope, by minimising the Itakura-Saito distance between the model and those
// samples (a fixed-point iteration; every step solves one Toeplitz system, whose matrix stays the same, so
// it is factored once, and six damped steps settle it as far as the formants can tell). Its order is 9:
// four resonances and one real pole for the tilt that is left of the glottal pulse, which an even order
// would spend a resonance on. Every other frame, low voices, unvoiced and doubtful ones, is analysed by
// linear prediction of order 14 of the frame lifted once more than the user's pre-emphasis (by 0.8): what
// is left of the glottal pulse's low hump otherwise pulls F1 onto the harmonic below it. Resonances are
// taken from the upper half of the z-plane, so a root without its conjugate cannot shift the pairs, and
// the formants are the resonances narrower than the maximum bandwidth, in ascending order.
//
// That lift was set for a voice of the usual slope, and recordings differ by some 6 dB per octave either
// way (breathy or pressed voice, a bright headset, a low-passed file): a brighter man's voice read his low
// F1 a fifth high. So the low path follows the recording's slope: on the blocks that have a power spectrum
// the first two harmonics' level difference, less what the block's own formants give them, is the
// source's slope over that octave (about 2.4 dB for the usual voice); smoothed across blocks, what lies
// beyond a dead zone round the usual value is undone by one more first-order section, a zero for a darker
// sound, a pole for a brighter one, whose slope over the same octave matches it. A voice of the usual
// slope keeps the usual lift.
//
// The analysis runs on the capture thread for every 25 ms block; it takes about a third of the time of
// the fixed order 16 (some 10 us here), because each stage reuses what the last block found:
// - pitch: the lags within 8 % of the last block's period and around half of it (a voice that jumps an
//   octave up), by direct sums; every fifth block, and whenever that finds no period, every lag, from the
//   power spectrum by one more transform (a real transform of 512 points as a complex one of 256);
// - the harmonic spectrum: that same power spectrum, with the pre-emphasis applied as its power gain;
// - the roots: the Aberth-Ehrlich iteration from the last roots of the same order (WarmRoots), which
//   gives the roots of the standard search within far less than 0.01 Hz.
//
// All work arrays are allocated by Prepare: Analyze allocates nothing and runs on the capture thread.

#include <vector>

#include "analysis/Complexnumber.h"
#include "analysis/Warmroots.h"

namespace vowelscope {

class HarmonicFormants {
 public:
  static constexpr int kLowOrder = 14;
  static constexpr int kHighOrder = 9;
  static constexpr int kMaxOrder = 14;

  // Allocates for frames of N samples; false, with nothing allocated, when that fails.
  bool Prepare(unsigned N);
  void Release();
  bool IsPrepared() const { return frameLength > 0; }

  // One windowed frame of N doubles on the integer sample scale: fills up to `count` formants (Hz) and
  // their bandwidths in ascending frequency and 0 after them. preEmphasis is that of the low-voice path.
  void Analyze(const double* frame, double sampleRate, double preEmphasis, double maxBandwidth, double* frequencies,
               double* bandwidths, int count);

  // The pitch of the last frame, Hz, or 0 when it was not taken as periodic; and whether it took the
  // harmonic path.
  double LastPitch() const { return lastPitch; }
  bool LastWasHarmonic() const { return lastHarmonic; }

  // Whether the low path follows the recording's slope (on unless turned off, for comparison), and the
  // smoothed slope it follows: dB over the octave F0 .. 2 F0 beyond the usual voice's, + darker.
  void SetFollowTilt(bool on) { followTilt = on; }
  double TiltExcess() const { return tiltExcess; }

 private:
  double Pitch(const double* frame, double sampleRate);
  void PowerSpectrum(const double* frame);
  // Over the correlation at lags from .. to (and one either side): the highest local peak (0 when
  // there is none, best its value), the first peak of at least atLeast (else otherwise), and where
  // between whole lags the peak at lag lies.
  int BestPeak(int from, int to, double& best) const;
  int ShortestPeak(int from, int to, double atLeast, int otherwise) const;
  double PeakShift(int lag) const;
  bool HarmonicPeaks(double sampleRate, double pitch);
  // The log power of the harmonic at `hz` (the strongest bin within a quarter of F0, refined by a
  // parabola), with the bins weighted by `gain` when it is given.
  double HarmonicLevel(double binHz, double hz, double pitch, const double* gain) const;
  void FollowTilt(double sampleRate, double pitch, const double* frequencies, const double* bandwidths, int count);
  void UndoTilt(double sampleRate, double pitch);
  bool DiscreteAllPole(int p);
  void Resonances(int p, double sampleRate, double maxBandwidth, double* frequencies, double* bandwidths, int count);
  void HalfTransform(const double* x);
  ComplexNumber Split(size_t k) const;

  unsigned frameLength = 0;
  double lastPitch = 0.0;
  bool lastHarmonic = false;
  double lastLag = 0.0;     // the last frame's period in samples, 0 when it had none
  int sinceFullSearch = 0;  // frames since the pitch was last searched over every lag
  bool followTilt = true;
  double tiltExcess = 0.0;  // smoothed source slope beyond the usual, dB per octave, + darker
  double tiltPitch = 0.0;   // the pitch of the last periodic low-path block, Hz
  bool haveSpectrum = false;  // `power` holds this frame's spectrum
  std::vector<double> windowCorrelation;  // the Hann window's own autocorrelation, normalised
  std::vector<double> work;               // padded frame, power sequence, pre-emphasised frame
  std::vector<ComplexNumber> spectrum;    // transform of half the padded length
  std::vector<ComplexNumber> twiddles, splitTwiddles;
  std::vector<unsigned> bitReverse;
  std::vector<double> power;        // the frame's power spectrum, bins 0 .. size / 2
  std::vector<double> emphasis;     // the power gain of the harmonic path's pre-emphasis per bin
  std::vector<double> correlation;  // the frame's autocorrelation, lags 0 .. size / 2
  std::vector<double> peakAngle, peakPower;  // harmonic peaks: radians per sample, power
  std::vector<double> byPeakRe, byPeakIm;    // e^{-i k w_m}, k = 0 .. kHighOrder, row m per peak
  std::vector<double> byPowerRe, byPowerIm;  // the same, row k per power of e^{-i w}
  std::vector<double> modelRe, modelIm;      // A(w_m), then 1 / A(w_m)
  std::vector<double> r, a, toeplitz, rhs, h;
  std::vector<ComplexNumber> roots;
  WarmRoots rootFinder;
  int peakCount = 0;
};

}  // namespace vowelscope
