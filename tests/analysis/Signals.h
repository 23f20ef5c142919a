#pragma once
// Test signals with known truth, as 16-bit samples at 11025 Hz unless stated.

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "sound/Soundformat.h"

namespace vowelscope::testsignals {

constexpr double kRate = 11025.0;
constexpr double kPi = 3.14159265358979323846;

inline SoundFormat MonoFormat(int kind = PcmSigned, uint16_t bits = 16, uint32_t rate = 11025) {
  SoundFormat format;
  format.SetKind(kind);
  format.SetNativeLayout(1);
  format.SetChannels(1);
  format.SetSampleRate(rate);
  format.SetBitsPerSample(bits);
  return format;
}

inline int16_t Clip(double v) {
  double r = std::round(v);
  if (r > 32767.0) r = 32767.0;
  if (r < -32768.0) r = -32768.0;
  return static_cast<int16_t>(r);
}

inline std::vector<int16_t> Sine(double hertz, double amplitude, unsigned count) {
  std::vector<int16_t> out(count);
  for (unsigned i = 0; i < count; ++i) out[i] = Clip(amplitude * std::sin(2.0 * kPi * hertz * i / kRate));
  return out;
}

// One pulse every `period` samples, starting at `phase`.
inline std::vector<int16_t> PulseTrain(unsigned period, int16_t height, unsigned count, unsigned phase = 0) {
  std::vector<int16_t> out(count, 0);
  for (unsigned i = phase; i < count; i += period) out[i] = height;
  return out;
}

// A pulse train at `pitch` Hz through a glottal roll-off (one real pole at 0.98, the slope that the
// analyzer's pre-emphasis takes off again) and second-order resonators in cascade (frequency and
// bandwidth in Hz), scaled to the given peak: a crude but well-defined vowel.
struct Formant {
  double frequency;
  double bandwidth;
};

inline std::vector<int16_t> Vowel(double pitch, const std::vector<Formant>& formants, unsigned count,
                                  double peak = 12000.0) {
  std::vector<double> signal(count, 0.0);
  const double period = kRate / pitch;
  for (double t = 0.0; t < count; t += period) signal[static_cast<unsigned>(t)] = 1.0;
  double source = 0.0;
  for (double& s : signal) s = source = s + 0.98 * source;
  for (const Formant& f : formants) {
    const double r = std::exp(-kPi * f.bandwidth / kRate);
    const double c = 2.0 * r * std::cos(2.0 * kPi * f.frequency / kRate);
    const double d = -r * r;
    double y1 = 0.0, y2 = 0.0;
    for (double& s : signal) {
      double y = s + c * y1 + d * y2;
      y2 = y1;
      y1 = y;
      s = y;
    }
  }
  double max = 0.0;
  for (double s : signal) max = std::max(max, std::fabs(s));
  std::vector<int16_t> out(count);
  for (unsigned i = 0; i < count; ++i) out[i] = Clip(signal[i] * peak / max);
  return out;
}

inline std::vector<int16_t> Noise(double amplitude, unsigned count, unsigned seed = 1) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> uniform(-amplitude, amplitude);
  std::vector<int16_t> out(count);
  for (auto& s : out) s = Clip(uniform(random));
  return out;
}

// Alternating +a / -a: mean square exactly a^2, so the level is 20 log10(a / 32768) dBFS.
inline void FillSquare(std::vector<int16_t>& out, unsigned from, unsigned count, int16_t a) {
  for (unsigned i = 0; i < count; ++i) out[from + i] = (i % 2) ? static_cast<int16_t>(-a) : a;
}

}  // namespace vowelscope::testsignals
