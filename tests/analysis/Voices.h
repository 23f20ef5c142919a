#pragma once
// Synthetic voices with known truth, as 16-bit samples at 11025 Hz: a Rosenberg glottal pulse (its
// derivative, which includes the lip radiation) at a pitch that glides and trembles like a real one,
// with a few per cent of cycle-to-cycle jitter and shimmer, through a cascade of formant resonators
// whose frequencies may glide too. Periods are not whole samples: the pulse is sampled at its true
// continuous phase, so an analysis that only looks at whole lags meets the same trouble as with a
// recorded voice. The truth of every sample (the smooth F0, F1 and F2 before jitter) is kept beside
// the sound so that tests and benches can state errors in cents and per cent.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace vowelscope::voices {

constexpr double kRate = 11025.0;
constexpr double kPi = 3.14159265358979323846;

struct Resonance {
  double frequency;  // Hz
  double bandwidth;  // Hz
};

struct VoiceRecipe {
  double seconds = 1.0;
  double f0Start = 120.0;       // Hz at the start
  double f0End = 120.0;         // Hz at the end; the glide is linear in semitones
  double vibratoCents = 0.0;    // peak deviation of a sinusoidal vibrato
  double vibratoRate = 5.5;     // Hz
  double jitter = 0.01;         // standard deviation of each period, relative
  double shimmer = 0.04;        // standard deviation of each pulse's amplitude, relative
  double openQuotient = 0.6;    // share of the period the glottis is open
  double breath = 0.0;          // aspiration noise, relative to the pulse
  double tilt = 0.0;            // extra spectral slope, dB per octave (-6 darker ... +6 brighter), see Tilt
  std::vector<Resonance> formants;     // at the start
  std::vector<Resonance> formantsEnd;  // at the end (empty: no glide)
  double peak = 12000.0;        // largest sample
  unsigned seed = 1;
};

struct Voice {
  std::vector<int16_t> samples;
  std::vector<float> f0;  // smooth F0 at every sample, Hz
  std::vector<float> f1;  // first resonance at every sample, Hz
  std::vector<float> f2;

  // Truth at a sample position (clamped to the sound), such as the centre of an analysis frame.
  double F0At(double centre) const { return At(f0, centre); }
  double F1At(double centre) const { return At(f1, centre); }
  double F2At(double centre) const { return At(f2, centre); }

 private:
  static double At(const std::vector<float>& v, double centre) {
    if (v.empty()) return 0.0;
    const long i = std::clamp(static_cast<long>(std::lround(centre)), 0L, static_cast<long>(v.size()) - 1);
    return v[static_cast<size_t>(i)];
  }
};

// Glottal flow of the Rosenberg pulse at phase p in [0, 1): a raised cosine while opening, a quarter
// cosine while closing, closed for the rest.
inline double RosenbergFlow(double p, double openQuotient) {
  const double opening = openQuotient * 0.65;
  const double closing = openQuotient - opening;
  if (p < opening) return 0.5 * (1.0 - std::cos(kPi * p / opening));
  if (p < openQuotient) return std::cos(0.5 * kPi * (p - opening) / closing);
  return 0.0;
}

// Recordings differ in spectral slope: a breathy or low-passed voice is darker than the pulse above, a
// pressed voice or a phone microphone brighter. One first-order section gives that slope: a zero at c
// (x[n] - c x[n-1]) for a brighter sound, a pole at c for a darker one, c chosen so that the gain from
// 200 to 2000 Hz changes by `tilt` dB per octave (a zero at 1, a first difference, gives 5.9). The slope
// is capped at c = 0.99, so +-6 give that cap: the same filters, the one stable, the other a leaky sum.
inline void Tilt(std::vector<double>& signal, double tilt) {
  if (tilt == 0.0) return;
  auto slope = [](double c) {
    auto gain = [c](double hz) {
      const double w = 2.0 * kPi * hz / kRate;
      return 10.0 * std::log10(1.0 + c * c - 2.0 * c * std::cos(w));
    };
    return (gain(2000.0) - gain(200.0)) / std::log2(10.0);
  };
  const double wanted = std::fabs(tilt);
  double lo = 0.0, hi = 0.99;
  if (slope(hi) > wanted) {
    for (int i = 0; i < 60; ++i) (slope(0.5 * (lo + hi)) < wanted ? lo : hi) = 0.5 * (lo + hi);
  }
  const double c = hi;
  double previous = 0.0;
  for (double& x : signal) {
    if (tilt > 0.0) {
      const double input = x;
      x = input - c * previous;
      previous = input;
    } else {
      x += c * previous;
      previous = x;
    }
  }
}

inline Voice Synthesize(const VoiceRecipe& recipe) {
  const size_t count = static_cast<size_t>(recipe.seconds * kRate);
  Voice voice;
  voice.f0.resize(count);
  voice.f1.resize(count);
  voice.f2.resize(count);
  std::mt19937 random(recipe.seed);
  std::normal_distribution<double> gauss(0.0, 1.0);

  // The source: flow sampled at its continuous phase, differentiated.
  std::vector<double> signal(count, 0.0);
  double phase = 0.0;
  double periodScale = 1.0;
  double amplitude = 1.0;
  double previousFlow = 0.0;
  const double semitones = 12.0 * std::log2(recipe.f0End / recipe.f0Start);
  for (size_t n = 0; n < count; ++n) {
    const double t = n / kRate;
    const double share = count > 1 ? static_cast<double>(n) / (count - 1) : 0.0;
    const double cents = 100.0 * semitones * share + recipe.vibratoCents * std::sin(2.0 * kPi * recipe.vibratoRate * t);
    const double f0 = recipe.f0Start * std::pow(2.0, cents / 1200.0);
    voice.f0[n] = static_cast<float>(f0);
    const double flow = amplitude * RosenbergFlow(phase, recipe.openQuotient);
    signal[n] = flow - previousFlow + recipe.breath * gauss(random) * (flow > 0.0 ? 0.05 : 0.01);
    previousFlow = flow;
    phase += f0 / kRate / periodScale;
    if (phase >= 1.0) {
      phase -= 1.0;
      periodScale = std::max(0.5, 1.0 + recipe.jitter * gauss(random));
      amplitude = std::max(0.2, 1.0 + recipe.shimmer * gauss(random));
    }
  }

  // The vocal tract: second-order resonators in cascade, each with unit gain at 0 Hz.
  const std::vector<Resonance>& end = recipe.formantsEnd.empty() ? recipe.formants : recipe.formantsEnd;
  for (size_t k = 0; k < recipe.formants.size(); ++k) {
    double y1 = 0.0, y2 = 0.0;
    for (size_t n = 0; n < count; ++n) {
      const double share = count > 1 ? static_cast<double>(n) / (count - 1) : 0.0;
      const double f = recipe.formants[k].frequency + share * (end[k].frequency - recipe.formants[k].frequency);
      const double b = recipe.formants[k].bandwidth + share * (end[k].bandwidth - recipe.formants[k].bandwidth);
      if (k == 0) voice.f1[n] = static_cast<float>(f);
      if (k == 1) voice.f2[n] = static_cast<float>(f);
      const double c = -std::exp(-2.0 * kPi * b / kRate);
      const double bb = 2.0 * std::exp(-kPi * b / kRate) * std::cos(2.0 * kPi * f / kRate);
      const double a = 1.0 - bb - c;
      const double y = a * signal[n] + bb * y1 + c * y2;
      y2 = y1;
      y1 = y;
      signal[n] = y;
    }
  }

  Tilt(signal, recipe.tilt);
  double max = 0.0;
  for (double s : signal) max = std::max(max, std::fabs(s));
  voice.samples.resize(count);
  for (size_t n = 0; n < count; ++n) {
    const double v = max > 0.0 ? std::round(signal[n] * recipe.peak / max) : 0.0;
    voice.samples[n] = static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
  }
  return voice;
}

// Speakers and the five Japanese vowels (F1, F2 in Hz; averages of published measurements), with F3
// and F4 typical of each speaker and bandwidths that widen with frequency.
enum class Speaker { Man, Woman, Child };

struct VowelTarget {
  const char* name;
  double f1;
  double f2;
};

inline const char* SpeakerName(Speaker s) {
  return s == Speaker::Man ? "man" : s == Speaker::Woman ? "woman" : "child";
}

inline std::vector<VowelTarget> JapaneseVowels(Speaker s) {
  switch (s) {
    case Speaker::Man:
      return {{"a", 750, 1190}, {"i", 290, 2200}, {"u", 340, 1340}, {"e", 480, 1900}, {"o", 480, 860}};
    case Speaker::Woman:
      return {{"a", 850, 1400}, {"i", 330, 2700}, {"u", 380, 1600}, {"e", 520, 2200}, {"o", 520, 950}};
    case Speaker::Child:
      return {{"a", 990, 1584}, {"i", 360, 3000}, {"u", 420, 1800}, {"e", 600, 2500}, {"o", 580, 1100}};
  }
  return {};
}

inline double TypicalF0(Speaker s) { return s == Speaker::Man ? 115.0 : s == Speaker::Woman ? 220.0 : 290.0; }

// The resonances of a vowel for a speaker: F1, F2 as given, F3 and F4 above them.
inline std::vector<Resonance> VowelResonances(Speaker s, double f1, double f2) {
  const double scale = s == Speaker::Man ? 1.0 : s == Speaker::Woman ? 1.15 : 1.3;
  const double f3 = std::max(2500.0 * scale, f2 + 450.0);
  const double f4 = std::min(f3 + 900.0 * scale, 5100.0);
  return {{f1, 60.0 * scale + 0.05 * f1}, {f2, 70.0 * scale + 0.04 * f2}, {f3, 120.0 * scale}, {f4, 180.0 * scale}};
}

// A speaker gliding from one vowel to another over `seconds`, the pitch rising from the speaker's typical
// one by a tenth.
inline VoiceRecipe VowelGlide(Speaker s, const VowelTarget& from, const VowelTarget& to, double seconds) {
  VoiceRecipe recipe;
  recipe.seconds = seconds;
  recipe.f0Start = TypicalF0(s);
  recipe.f0End = recipe.f0Start * 1.1;
  recipe.formants = VowelResonances(s, from.f1, from.f2);
  recipe.formantsEnd = VowelResonances(s, to.f1, to.f2);
  return recipe;
}

// A take of the five vowels each held for `seconds` at the speaker's typical pitch with a light vibrato,
// 200 ms of silence before, between and after: what a speaker records to make a guide set.
inline std::vector<int16_t> HeldVowels(Speaker s, double seconds) {
  std::vector<int16_t> take(2205, 0);
  unsigned seed = 1;
  for (const auto& vowel : JapaneseVowels(s)) {
    VoiceRecipe recipe;
    recipe.seconds = seconds;
    recipe.f0Start = recipe.f0End = TypicalF0(s);
    recipe.vibratoCents = 20.0;
    recipe.formants = VowelResonances(s, vowel.f1, vowel.f2);
    recipe.seed = seed++;
    const auto samples = Synthesize(recipe).samples;
    take.insert(take.end(), samples.begin(), samples.end());
    take.insert(take.end(), 2205, 0);
  }
  return take;
}

// The five vowels one after another, each `seconds` long, the pitch rising from `f0` by four semitones with
// a 30-cent vibrato and a little jitter, spoken by the speaker whose pitch that is: the pitch trackers'
// test of voices from 70 to 500 Hz. The seeds run on from `seed`.
inline Voice RisingVowels(double f0, double seconds, unsigned seed) {
  const Speaker speaker = f0 < 150 ? Speaker::Man : f0 < 250 ? Speaker::Woman : Speaker::Child;
  Voice all;
  for (const auto& vowel : JapaneseVowels(speaker)) {
    VoiceRecipe recipe;
    recipe.seconds = seconds;
    recipe.f0Start = f0;
    recipe.f0End = f0 * std::pow(2.0, 4.0 / 12.0);
    recipe.vibratoCents = 30.0;
    recipe.jitter = 0.005;
    recipe.formants = VowelResonances(speaker, vowel.f1, vowel.f2);
    recipe.seed = seed++;
    const Voice v = Synthesize(recipe);
    all.samples.insert(all.samples.end(), v.samples.begin(), v.samples.end());
    all.f0.insert(all.f0.end(), v.f0.begin(), v.f0.end());
  }
  return all;
}

// Sounds without a pitch.
inline std::vector<int16_t> WhiteNoise(double seconds, double amplitude, unsigned seed = 7) {
  std::mt19937 random(seed);
  std::normal_distribution<double> gauss(0.0, amplitude);
  std::vector<int16_t> out(static_cast<size_t>(seconds * kRate));
  for (auto& s : out) s = static_cast<int16_t>(std::clamp(std::round(gauss(random)), -32768.0, 32767.0));
  return out;
}

// Noise through one broad resonance high in the spectrum, like /s/ or /ʃ/, swelling and fading.
inline std::vector<int16_t> FricativeBurst(double seconds, double amplitude, double centre = 4200.0,
                                           unsigned seed = 11) {
  std::mt19937 random(seed);
  std::normal_distribution<double> gauss(0.0, 1.0);
  const size_t count = static_cast<size_t>(seconds * kRate);
  const double c = -std::exp(-2.0 * kPi * 1500.0 / kRate);
  const double b = 2.0 * std::exp(-kPi * 1500.0 / kRate) * std::cos(2.0 * kPi * centre / kRate);
  std::vector<double> y(count);
  double y1 = 0.0, y2 = 0.0, max = 0.0;
  for (size_t n = 0; n < count; ++n) {
    y[n] = gauss(random) + b * y1 + c * y2;
    y2 = y1;
    y1 = y[n];
    max = std::max(max, std::fabs(y[n]));
  }
  std::vector<int16_t> out(count);
  for (size_t n = 0; n < count; ++n) {
    const double envelope = std::sin(kPi * n / std::max<size_t>(count, 1));
    out[n] = static_cast<int16_t>(std::clamp(std::round(y[n] / max * amplitude * envelope), -32768.0, 32767.0));
  }
  return out;
}

}  // namespace vowelscope::voices
