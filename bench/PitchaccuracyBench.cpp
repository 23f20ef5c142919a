// Pitch accuracy on voices with known truth (tests/analysis/Voices.h): for each starting F0 from 70 to
// 500 Hz, five vowels of 1.2 s each, gliding up four semitones with 30 cents of vibrato, 0.5 % jitter and
// 4 % shimmer. Printed per starting F0, for the frames that lie wholly inside the sound:
//   voiced  share of frames scoring >= 0.7 (what the chart draws);
//   gross   share of those frames more than 20 % off the truth;
//   halved  share of those frames at half the truth (0.4 .. 0.6 of it);
//   cents   median error of the others, in cents.
// Columns: the whole-lag search (the direct formula: best lag + 0.00008 per Hz), the analyzer, and the
// peer's "To Pitch (ac)" when praat is installed (its voiced frames are those it gives a pitch).
// Then the highest score over silence, white noise and a fricative-like burst.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "Fzeroreference.h"
#include "Signals.h"
#include "Benchwave.h"
#include "Voices.h"
#include "analysis/Fzero.h"
#include "analysis/Soundstreamwindowing.h"
#include "sound/Soundmemorystream.h"

using namespace vowelscope;
namespace {

constexpr unsigned kHop = 110;
constexpr int kMinHz = 60;
constexpr int kMaxHz = 1000;

struct Track {
  std::vector<double> frequency;  // 0: no pitch
  std::vector<double> score;
};

struct Figures {
  double voiced = 0.0, gross = 0.0, halved = 0.0, cents = 0.0;
};

Track WholeLag(std::vector<int16_t>& samples) {
  SoundMemoryStream view(samples.data(), static_cast<unsigned>(samples.size()), testsignals::MonoFormat());
  SoundStreamWindowing windowing(view);
  windowing.SetShift(kHop);
  windowing.SetWindowLength(2 * (11025 / kMinHz));
  unsigned frames = 0;
  windowing.Begin(0, 0, frames);
  Track t;
  for (unsigned i = 0; i < frames; ++i) {
    const double* x = nullptr;
    windowing.Next(x);
    FZeroValue v = reference::Frame(x, 2 * (11025 / kMinHz), 11025 / kMaxHz, 11025 / kMinHz, 11025.0);
    t.frequency.push_back(v.frequency);
    t.score.push_back(v.score);
  }
  return t;
}

Track Analyzer(std::vector<int16_t>& samples) {
  SoundMemoryStream view(samples.data(), static_cast<unsigned>(samples.size()), testsignals::MonoFormat());
  FZeroAnalyzer analyzer;
  analyzer.SetMinFrequency(kMinHz);
  analyzer.SetMaxFrequency(kMaxHz);
  auto result = analyzer.Analyze(view, 0, 0);
  Track t;
  for (const auto& v : result->values) {
    t.frequency.push_back(v.frequency);
    t.score.push_back(v.score);
  }
  return t;
}

bool HavePraat() { return std::system("command -v praat >/dev/null 2>&1") == 0; }

using bench::WriteWave;

// The peer's pitch at the centre of each of our frames (frame k centred at k * hop).
Track Praat(const std::vector<int16_t>& samples, unsigned frames) {
  char folder[] = "/tmp/vowelscope-pitchbench-XXXXXX";
  Track t;
  if (!mkdtemp(folder)) return t;
  const std::string wav = std::string(folder) + "/voice.wav";
  const std::string script = std::string(folder) + "/pitch.praat";
  const std::string output = std::string(folder) + "/pitch.txt";
  WriteWave(wav, samples);
  {
    std::ofstream s(script);
    s << "sound = Read from file: \"" << wav << "\"\n"
      << "pitch = To Pitch (ac): 0.01, " << kMinHz << ", 15, \"no\", 0.03, 0.45, 0.01, 0.35, 0.14, " << kMaxHz << "\n"
      << "for i from 0 to " << frames - 1 << "\n"
      << "  f = Get value at time: i * " << kHop << " / 11025, \"Hertz\", \"linear\"\n"
      << "  appendInfoLine: f\n"
      << "endfor\n";
  }
  const std::string command = "praat --run '" + script + "' > '" + output + "' 2>/dev/null";
  if (std::system(command.c_str()) == 0) {
    std::ifstream in(output);
    std::string line;
    while (std::getline(in, line)) {
      const double f = std::atof(line.c_str());  // "--undefined--" reads as 0
      t.frequency.push_back(f);
      t.score.push_back(f > 0.0 ? 1.0 : 0.0);
    }
  }
  std::system(("rm -rf '" + std::string(folder) + "'").c_str());
  return t;
}

Figures Measure(const Track& t, const voices::Voice& voice) {
  Figures fig;
  std::vector<double> cents;
  unsigned inside = 0, voiced = 0, gross = 0, halved = 0;
  const size_t frames = t.frequency.size();
  for (size_t i = 2; i + 2 < frames; ++i) {
    ++inside;
    if (t.score[i] < 0.7) continue;
    ++voiced;
    const double truth = voice.F0At(static_cast<double>(i * kHop));
    const double ratio = t.frequency[i] / truth;
    if (std::fabs(ratio - 1.0) > 0.2) {
      ++gross;
      if (ratio > 0.4 && ratio < 0.6) ++halved;
    } else {
      cents.push_back(std::fabs(1200.0 * std::log2(ratio)));
    }
  }
  fig.voiced = 100.0 * voiced / std::max(1u, inside);
  fig.gross = 100.0 * gross / std::max(1u, voiced);
  fig.halved = 100.0 * halved / std::max(1u, voiced);
  if (!cents.empty()) {
    std::nth_element(cents.begin(), cents.begin() + cents.size() / 2, cents.end());
    fig.cents = cents[cents.size() / 2];
  }
  return fig;
}

void PrintFigures(const Figures& f) {
  std::printf(" | %5.1f %5.1f %5.1f %6.2f", f.voiced, f.gross, f.halved, f.cents);
}

double HighestScore(std::vector<int16_t> samples, bool wholeLag) {
  Track t = wholeLag ? WholeLag(samples) : Analyzer(samples);
  double best = 0.0;
  for (double s : t.score) best = std::max(best, s);
  return best;
}

}  // namespace

int main() {
  const bool praat = HavePraat();
  std::printf("Pitch on synthetic voices (five vowels x 1.2 s, glide +4 semitones, vibrato 30 cents, jitter 0.5 %%)\n");
  std::printf("per column: voiced %% | gross %% | halved %% | median cents\n\n");
  std::printf("  F0 Hz |        whole-lag search       |           analyzer            %s\n",
              praat ? "|      praat To Pitch (ac)" : "");
  double worstGross = 0.0, worstHalved = 0.0, worstCents = 0.0;
  for (double f0 : {70.0, 85.0, 110.0, 140.0, 175.0, 220.0, 260.0, 300.0, 360.0, 430.0, 500.0}) {
    auto voice = voices::RisingVowels(f0, 1.2, static_cast<unsigned>(f0));
    const Figures old = Measure(WholeLag(voice.samples), voice);
    const Figures now = Measure(Analyzer(voice.samples), voice);
    worstGross = std::max(worstGross, now.gross);
    worstHalved = std::max(worstHalved, now.halved);
    worstCents = std::max(worstCents, now.cents);
    std::printf("  %5.0f", f0);
    PrintFigures(old);
    PrintFigures(now);
    if (praat) {
      const Track p = Praat(voice.samples, static_cast<unsigned>(Analyzer(voice.samples).frequency.size()));
      PrintFigures(Measure(p, voice));
    }
    std::printf("\n");
  }
  std::printf("\nanalyzer, worst over all F0: gross %.2f %%, halved %.2f %%, median %.2f cents"
              " (goals: <= 1 %%, <= 0.5 %%, <= 5 cents)\n",
              worstGross, worstHalved, worstCents);

  std::printf("\nhighest score (drawn from 0.7):        whole-lag  analyzer\n");
  std::vector<int16_t> silence(22050, 0);
  const struct {
    const char* name;
    std::vector<int16_t> samples;
  } unvoiced[] = {{"silence", silence},
                  {"white noise", voices::WhiteNoise(2.0, 3000.0)},
                  {"fricative burst", voices::FricativeBurst(2.0, 8000.0)}};
  for (const auto& u : unvoiced) {
    std::printf("  %-36s %9.3f %9.3f\n", u.name, HighestScore(u.samples, true), HighestScore(u.samples, false));
  }
  return 0;
}
