#include "tools/Chartdemo.h"

#include "sound/Recordingformat.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "analysis/Formantanalyzer.h"
#include "analysis/Fzeropass.h"
#include "analysis/Windowfunction.h"

namespace vowelscope {

namespace {

constexpr double kRate = 11025.0;

struct Vowel {
  double f1, f2;
};
// Mean formants of Japanese male speakers (the same figures as the shipped guide set).
constexpr Vowel kA{753, 1385}, kI{315, 2172}, kU{367, 1332}, kE{500, 1947}, kO{520, 997};

// One segment of the score: formants glide linearly from `from` to `to`; silence when `voiced` is false.
struct Segment {
  double seconds;
  bool voiced;
  Vowel from, to;
  double f0From, f0To;
};

// Second-order digital resonator (the classic formant synthesiser's building block).
class Resonator {
 public:
  double Step(double x, double frequency, double bandwidth) {
    const double r = std::exp(-std::numbers::pi * bandwidth / kRate);
    const double c = -r * r;
    const double b = 2.0 * r * std::cos(2.0 * std::numbers::pi * frequency / kRate);
    const double a = 1.0 - b - c;
    const double y = a * x + b * y1 + c * y2;
    y2 = y1;
    y1 = y;
    return y;
  }

 private:
  double y1 = 0.0, y2 = 0.0;
};

std::vector<int16_t> Synthesize(const std::vector<Segment>& score) {
  std::vector<double> out;
  Resonator glottis, r1, r2, r3, r4;
  double phase = 0.0;
  double previous = 0.0;
  uint32_t noise = 12345;
  for (const Segment& segment : score) {
    const int count = static_cast<int>(segment.seconds * kRate);
    const int ramp = static_cast<int>(0.02 * kRate);
    for (int n = 0; n < count; ++n) {
      const double t = static_cast<double>(n) / count;
      double x = 0.0;
      if (segment.voiced) {
        const double f0 = segment.f0From + (segment.f0To - segment.f0From) * t;
        phase += f0 / kRate;
        if (phase >= 1.0) {
          phase -= 1.0;
          x = 1.0;
        }
        x *= std::min({1.0, static_cast<double>(n) / ramp, static_cast<double>(count - n) / ramp});
      }
      // A little breath noise keeps the pauses from being digital silence; the glottal pulse falls
      // off at 12 dB per octave.
      noise = noise * 1664525u + 1013904223u;
      const double breath = (static_cast<double>(noise >> 16) / 65536.0 - 0.5) * 0.002;
      double y = glottis.Step(x + breath, 0.0, 250.0);
      const double f1 = segment.from.f1 + (segment.to.f1 - segment.from.f1) * t;
      const double f2 = segment.from.f2 + (segment.to.f2 - segment.from.f2) * t;
      y = r1.Step(y, f1, 70.0);
      y = r2.Step(y, f2, 90.0);
      y = r3.Step(y, 2500.0, 150.0);
      y = r4.Step(y, 3500.0, 200.0);
      // Radiation from the lips: a first difference, which also removes the pulse train's DC.
      out.push_back(y - previous);
      previous = y;
    }
  }
  double peak = 0.0;
  for (double v : out) peak = std::max(peak, std::abs(v));
  std::vector<int16_t> samples(out.size());
  const double gain = peak > 0.0 ? 14000.0 / peak : 0.0;
  for (size_t i = 0; i < out.size(); ++i) samples[i] = static_cast<int16_t>(std::lround(out[i] * gain));
  return samples;
}

// The live analysis: each 275-frame block, Hann-weighted, gives power, F1 and F2; blocks below the
// power threshold give no formants.
std::vector<FormantValue> FormantTrack(const std::vector<int16_t>& samples) {
  constexpr unsigned block = 275;
  constexpr double threshold = 35.0;
  FormantAnalyzer analyzer;
  analyzer.SetSampleRate(static_cast<unsigned>(kRate));
  analyzer.SetOrder(16);
  analyzer.SetMaxBandwidth(500);
  analyzer.SetPreEmphasis(0.98);
  std::vector<FormantValue> track;
  if (!analyzer.Prepare(block)) return track;
  std::vector<double> frame(block), frequencies(16), bandwidths(16);
  for (size_t start = 0; start + block <= samples.size(); start += block) {
    for (unsigned n = 0; n < block; ++n) frame[n] = samples[start + n] * Hann(static_cast<int>(n), block);
    FormantValue value;
    analyzer.Analyze(frame.data(), value.power, frequencies.data(), bandwidths.data());
    if (value.power >= threshold) {
      value.f1 = frequencies[0];
      value.f2 = frequencies[1];
    }
    track.push_back(value);
  }
  return track;
}

}  // namespace

DemoSession MakeDemoSession() {
  const Segment pause{0.15, false, kA, kA, 0, 0};
  std::vector<Segment> score = {pause};
  const Vowel vowels[] = {kA, kI, kU, kE, kO};
  for (const Vowel& v : vowels) {
    score.push_back(Segment{0.55, true, v, v, 132, 112});
    score.push_back(pause);
  }
  score.push_back(Segment{0.5, true, kO, kA, 125, 140});
  score.push_back(Segment{0.6, true, kA, kI, 140, 105});

  DemoSession session;
  session.format = RecordingFormat();
  session.samples = Synthesize(score);
  session.glideEnd = static_cast<uint32_t>(session.samples.size()) - 1;
  session.sound = std::make_unique<SoundMemoryStream>(session.samples.data(),
                                                      static_cast<unsigned>(session.samples.size()), session.format);
  session.formantTrack = FormantTrack(session.samples);
  ProgressCallbackContainer progress;
  session.fzero = RunFZeroPass(session.samples.data(), static_cast<unsigned>(session.samples.size()), session.format,
                               FZeroPassSettings{}, progress);
  return session;
}

}  // namespace vowelscope
