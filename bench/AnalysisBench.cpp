// Prints, in one run of a few seconds:
//  - microseconds per F0 frame (60 .. 1000 Hz, 10 ms hop: 172 lags over up to 366 samples) for the direct
//    formula of the whole-lag search and for the analyzer (its curve, refined peaks and path), and
//    their ratio;
//  - the F0 pass over 60 s of voiced, speech-like sound, in multiples of real time;
//  - microseconds per formant block (275 samples): median and worst over 1000 blocks, the fixed order 16
//    beside the automatic analysis, on pulse-train vowels and on the voices of men, women and children;
//    the root search alone on the order-14 polynomials of those voices, from the standard start and from
//    the last block's roots, with the largest difference between the two; and a root search that runs
//    all 4095 passes without converging;
//  - beside it, microseconds per block of the live pitch (60 .. 1000 Hz, a frame of the last two blocks)
//    on the same voices, median and worst, and its share of the automatic formant analysis.
// Times are processor time, the best of a few runs: the figures are meant to show the code, not the
// scheduler.

#include <algorithm>
#include <cmath>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <utility>
#include <vector>

#include "Fzeroreference.h"
#include "Signals.h"
#include "Rootpolynomials.h"
#include "Formanttrack.h"
#include "Voices.h"
#include "analysis/Formantanalyzer.h"
#include "analysis/Fzero.h"
#include "analysis/Fzeropass.h"
#include "analysis/Livepitch.h"
#include "analysis/Lpc.h"
#include "analysis/Soundstreamwindowing.h"
#include "analysis/Warmroots.h"
#include "analysis/Windowfunction.h"
#include "sound/Soundmemorystream.h"

using namespace vowelscope;
namespace {

// Processor time of this process for the long runs: on a machine shared with other work, the time spent
// waiting for the processor is not counted against the code.
struct Clock {
  using time_point = std::clock_t;
  static time_point now() { return std::clock(); }
};

double Microseconds(Clock::time_point from, Clock::time_point to) { return (to - from) * (1e6 / CLOCKS_PER_SEC); }

// Wall time for single blocks, where reading the processor time would cost more than the resolution
// needs; the best of several runs leaves out the interrupted ones.
using BlockClock = std::chrono::steady_clock;

double Microseconds(BlockClock::time_point from, BlockClock::time_point to) {
  return std::chrono::duration<double, std::micro>(to - from).count();
}

// 60 s of continuous voicing: vowels of 300 ms with a pitch that glides between 90 and 240 Hz.
std::vector<int16_t> SpeechLike(unsigned seconds) {
  const testsignals::Formant vowels[][2] = {
      {{700, 80}, {1200, 100}}, {{300, 60}, {2300, 120}}, {{350, 60}, {900, 90}}, {{500, 80}, {1700, 100}}};
  std::vector<int16_t> out;
  const unsigned part = 3307;  // 0.3 s
  for (unsigned k = 0; out.size() < seconds * 11025u; ++k) {
    const double pitch = 90.0 + 150.0 * ((k * 7) % 11) / 10.0;
    auto v = testsignals::Vowel(pitch, {vowels[k % 4][0], vowels[k % 4][1]}, part, 9000.0 + 1000.0 * (k % 5));
    out.insert(out.end(), v.begin(), v.end());
  }
  out.resize(seconds * 11025u);
  return out;
}

void BenchFZero() {
  auto samples = SpeechLike(60);
  const unsigned length = static_cast<unsigned>(samples.size());
  SoundFormat format = testsignals::MonoFormat();
  SoundMemoryStream view(samples.data(), length, format);

  // Reference: the direct formula over the analyzer's own frames.
  double referenceUs = 1e30;
  std::vector<FZeroValue> expected;
  unsigned frames = 0;
  for (int run = 0; run < 2; ++run) {
    SoundStreamWindowing windowing(view);
    windowing.SetShift(110);
    windowing.SetWindowLength(366);
    windowing.Begin(0, 0, frames);
    expected.assign(frames, {});
    auto t0 = Clock::now();
    for (unsigned i = 0; i < frames; ++i) {
      const double* x = nullptr;
      windowing.Next(x);
      expected[i] = reference::Frame(x, 366, 11, 183, 11025.0);
    }
    referenceUs = std::min(referenceUs, Microseconds(t0, Clock::now()) / frames);
  }

  double shippedUs = 1e30;
  for (int run = 0; run < 5; ++run) {
    FZeroAnalyzer analyzer;
    analyzer.SetMinFrequency(60);
    analyzer.SetMaxFrequency(1000);
    auto t0 = Clock::now();
    auto result = analyzer.Analyze(view, 0, 0);
    shippedUs = std::min(shippedUs, Microseconds(t0, Clock::now()) / frames);
  }

  double passUs = 1e30;
  size_t voiced = 0;
  for (int run = 0; run < 5; ++run) {
    ProgressCallbackContainer progress;
    auto t0 = Clock::now();
    auto result = RunFZeroPass(samples.data(), length, format, FZeroPassSettings{}, progress);
    passUs = std::min(passUs, Microseconds(t0, Clock::now()));
    voiced = std::count_if(result->values.begin(), result->values.end(),
                           [](const FZeroValue& v) { return v.score >= 0.7f; });
  }

  std::printf("F0 frame (172 lags, 366 samples), %u frames of 60 s speech-like sound:\n", frames);
  std::printf("  direct formula   %8.2f us/frame\n", referenceUs);
  std::printf("  analyzer         %8.2f us/frame   %.1fx faster\n", shippedUs, referenceUs / shippedUs);
  std::printf("F0 pass over 60 s: %.1f ms, %.0fx real time, goal >= 2000x (%zu of %u frames with score >= 0.7)\n",
              passUs / 1000.0, 60e6 / passUs, voiced, frames);
}

// Median and worst microseconds per block over 1000 blocks; each block's time is the best of five runs, so
// that a block the scheduler interrupted does not pass for a slow one.
std::pair<double, double> FormantBlockTimes(const std::vector<int16_t>& samples, bool autoOrder) {
  FormantAnalyzer analyzer;
  formanttest::PrepareAsRecording(analyzer, autoOrder);
  std::vector<double> frame(275);
  double power = 0.0, f[8], b[8];
  std::vector<double> times(1000, 1e30);
  for (int run = 0; run < 5; ++run) {
    for (unsigned k = 0; k < 1000; ++k) {
      const unsigned from = k * 275;
      for (unsigned i = 0; i < 275; ++i) frame[i] = Hann(i, 275) * samples[from + i];
      auto t0 = BlockClock::now();
      analyzer.Analyze(frame.data(), power, f, b);
      times[k] = std::min(times[k], Microseconds(t0, BlockClock::now()));
    }
  }
  std::sort(times.begin(), times.end());
  return {times[times.size() / 2], times.back()};
}

// Median and worst microseconds of the live pitch per block over 1000 blocks, as FormantBlockTimes.
std::pair<double, double> LivePitchBlockTimes(const std::vector<int16_t>& samples) {
  std::vector<double> times(1000, 1e30);
  for (int run = 0; run < 5; ++run) {
    LivePitch pitch;
    pitch.Prepare(11025, 275, 60, 1000, 35.0);
    for (unsigned k = 0; k < 1000; ++k) {
      auto t0 = BlockClock::now();
      pitch.Next(samples.data() + k * 275, 275);
      times[k] = std::min(times[k], Microseconds(t0, BlockClock::now()));
    }
  }
  std::sort(times.begin(), times.end());
  return {times[times.size() / 2], times.back()};
}

// 30 s of the test voices: the five vowels of a man, a woman and a child in turn, 0.4 s each.
std::vector<int16_t> VoicesLike() {
  std::vector<int16_t> out;
  unsigned seed = 1;
  while (out.size() < 30u * 11025u) {
    for (const auto speaker : {voices::Speaker::Man, voices::Speaker::Woman, voices::Speaker::Child}) {
      for (const auto& vowel : voices::JapaneseVowels(speaker)) {
        voices::VoiceRecipe recipe;
        recipe.seconds = 0.4;
        recipe.f0Start = recipe.f0End = voices::TypicalF0(speaker);
        recipe.formants = voices::VowelResonances(speaker, vowel.f1, vowel.f2);
        recipe.seed = seed++;
        const auto v = voices::Synthesize(recipe);
        out.insert(out.end(), v.samples.begin(), v.samples.end());
      }
    }
  }
  out.resize(30u * 11025u);
  return out;
}

// The root search alone on the prediction polynomials (order 14, pre-emphasis 0.98) of every block:
// microseconds per polynomial from the standard start and from the last block's roots, the largest
// difference of a resonance frequency between the two, and how often the warm start had to fall back.
void BenchRoots(const std::vector<int16_t>& samples) {
  constexpr int p = 14;
  std::vector<std::vector<double>> polynomials;
  std::vector<double> frame(275), work(275), r(p + 1), a(p + 1);
  for (size_t from = 0; from + 275 <= samples.size(); from += 275) {
    for (unsigned i = 0; i < 275; ++i) frame[i] = Hann(i, 275) * samples[from + i];
    PreEmphasisAutocorrelation(frame.data(), work.data(), r.data(), 0.98, p, 275);
    if (LevinsonDurbin(r.data(), a.data(), p) > 0.0) polynomials.push_back(a);
  }
  const size_t count = polynomials.size();
  std::vector<ComplexNumber> standard(count * p), warm(count * p), guesses(p);
  double standardUs = 1e30, warmUs = 1e30;
  int fallbacks = 0;
  long passes = 0;
  for (int run = 0; run < 3; ++run) {
    auto t0 = Clock::now();
    for (size_t k = 0; k < count; ++k) FindRoots(p, polynomials[k].data(), guesses.data(), &standard[k * p]);
    standardUs = std::min(standardUs, Microseconds(t0, Clock::now()) / count);
    WarmRoots finder;
    finder.Prepare(p);
    fallbacks = 0;
    passes = 0;
    t0 = Clock::now();
    for (size_t k = 0; k < count; ++k) {
      finder.Find(p, polynomials[k].data(), &warm[k * p]);
      fallbacks += finder.LastFellBack();
      passes += finder.LastPasses();
    }
    warmUs = std::min(warmUs, Microseconds(t0, Clock::now()) / count);
  }
  // Each standard root against the nearest warm one, as frequencies of the resonances that can be formants.
  double largest = 0.0;
  for (size_t k = 0; k < count; ++k) {
    for (int i = 0; i < p; ++i) {
      const Resonance expected = RootToResonance(11025.0, standard[k * p + i]);
      if (!(expected.frequency > 1.0)) continue;
      double nearest = 1e30;
      for (int j = 0; j < p; ++j) {
        const Resonance found = RootToResonance(11025.0, warm[k * p + j]);
        if (found.frequency > 1.0 && std::fabs(found.bandwidth - expected.bandwidth) < 1.0)
          nearest = std::min(nearest, std::fabs(found.frequency - expected.frequency));
      }
      largest = std::max(largest, nearest);
    }
  }
  std::printf("  root search, order 14, %zu voice blocks: standard start %5.1f us, last block's roots %5.1f us"
              " (%.2fx, %.1f passes); largest difference %.1e Hz, %d fallbacks\n",
              count, standardUs, warmUs, warmUs / standardUs, static_cast<double>(passes) / count, largest, fallbacks);
}

void BenchFormant() {
  const auto speech = SpeechLike(30);
  const auto mixed = VoicesLike();
  const auto fixedSpeech = FormantBlockTimes(speech, false);
  const auto autoSpeech = FormantBlockTimes(speech, true);
  const auto fixedVoices = FormantBlockTimes(mixed, false);
  const auto autoVoices = FormantBlockTimes(mixed, true);
  double f[8], b[8];

  // (z - 0.5)^16: a root of multiplicity 16 that the iteration never pins down to 1e-10.
  const std::vector<double> a = testpolynomials::MultipleRoot(0.5, 16);
  double stuck = 1e30;
  bool found = true;
  for (int run = 0; run < 3; ++run) {
    auto t0 = BlockClock::now();
    found = LpcResonances(11025.0, 16, a.data(), f, b);
    stuck = std::min(stuck, Microseconds(t0, BlockClock::now()));
  }
  std::printf("Formant block (275 samples), 1000 blocks; median / worst us (goal for automatic: <= 15 / <= 40):\n");
  std::printf("  pulse-train vowels:   fixed order 16 %6.1f / %6.1f   automatic %6.1f / %6.1f   (%.2fx / %.2fx)\n",
              fixedSpeech.first, fixedSpeech.second, autoSpeech.first, autoSpeech.second,
              autoSpeech.first / fixedSpeech.first, autoSpeech.second / fixedSpeech.second);
  std::printf("  men, women, children: fixed order 16 %6.1f / %6.1f   automatic %6.1f / %6.1f   (%.2fx / %.2fx)\n",
              fixedVoices.first, fixedVoices.second, autoVoices.first, autoVoices.second,
              autoVoices.first / fixedVoices.first, autoVoices.second / fixedVoices.second);
  const auto pitchVoices = LivePitchBlockTimes(mixed);
  std::printf("  live pitch per block (goal: <= 20 us beyond the formants): %6.1f / %6.1f   (%.2fx / %.2fx of automatic)\n",
              pitchVoices.first, pitchVoices.second, pitchVoices.first / autoVoices.first,
              pitchVoices.second / autoVoices.second);
  BenchRoots(mixed);
  std::printf("  root search running all 4095 passes: %.0f us (%s)\n", stuck, found ? "converged" : "did not converge");
}

}  // namespace

int main() {
  BenchFZero();
  BenchFormant();
  return 0;
}
