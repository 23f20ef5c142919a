// Formant accuracy on voices with known truth (tests/analysis/Voices.h): the five Japanese vowels of a man
// (F0 115 Hz), a woman (220 Hz) and a child (290 Hz), one second each with 1 % jitter and 4 % shimmer, and
// the same at the ends of the range (100 and 350 Hz). Per vowel: the truth, then the median F1 and F2 over
// the 25 ms blocks and their errors for the fixed order 16 and for the automatic analysis, and, when praat
// is installed, the median of its To Formant (burg) with the ceiling a phonetician would give each speaker
// (5000 Hz for the man, 5500 Hz for the woman and the child, the most this rate allows) and four formants
// (the voices have four resonances below it; with five, one lands between F1 and F2), as an independent
// reference. Then a 2-second /a/ -> /i/ glide of each speaker: the blocks where F1 or F2 moves by more than
// 15 % from the last one. Last, the same five vowels at the typical pitches with the spectrum tilted by
// -6, 0 and +6 dB per octave (a darker and a brighter recording): per speaker, the F1 and F2 errors.

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "Signals.h"
#include "Formanttrack.h"
#include "Voices.h"
#include "analysis/Formantanalyzer.h"
#include "analysis/Harmonicformants.h"
#include "analysis/Windowfunction.h"
#include "sound/Wavefilestream.h"

using namespace vowelscope;
namespace {

constexpr unsigned kBlock = 275;

struct Track {
  std::vector<double> f1, f2;
};

Track Analyse(const std::vector<int16_t>& samples, bool autoOrder) {
  FormantAnalyzer analyzer;
  formanttest::PrepareAsRecording(analyzer, autoOrder);
  Track t;
  std::vector<double> frame(kBlock);
  for (size_t from = 0; from + kBlock <= samples.size(); from += kBlock) {
    for (unsigned i = 0; i < kBlock; ++i) frame[i] = Hann(i, kBlock) * samples[from + i];
    double power = 0.0, f[8], b[8];
    analyzer.Analyze(frame.data(), power, f, b);
    t.f1.push_back(f[0]);
    t.f2.push_back(f[1]);
  }
  return t;
}

double Median(std::vector<double> v) {
  if (v.size() > 2) v.erase(v.begin());  // the first block starts the voice
  std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
  return v[v.size() / 2];
}

struct Totals {
  double f1Sum = 0, f2Sum = 0, f1Worst = 0, f2Worst = 0;
  int count = 0;
  void Add(double e1, double e2) {
    f1Sum += std::fabs(e1);
    f2Sum += std::fabs(e2);
    f1Worst = std::max(f1Worst, std::fabs(e1));
    f2Worst = std::max(f2Worst, std::fabs(e2));
    ++count;
  }
  void Print(const char* name) const {
    std::printf("  %-10s F1 mean %5.2f %%, worst %5.2f %%;  F2 mean %5.2f %%, worst %5.2f %%\n", name, f1Sum / count,
                f1Worst, f2Sum / count, f2Worst);
  }
};

// The peer's Burg formants of each sound: median F1 and F2, in the order given; empty when praat is not
// installed or fails.
std::vector<std::pair<double, double>> PeerFormants(const std::vector<std::vector<int16_t>>& sounds,
                                                    const std::vector<double>& ceilings) {
  if (std::system("command -v praat >/dev/null 2>&1") != 0) return {};
  char folder[] = "/tmp/vowelscope-formantbench-XXXXXX";
  if (!mkdtemp(folder)) return {};
  const std::string dir = folder;
  std::ofstream script(dir + "/burg.praat");
  for (size_t k = 0; k < sounds.size(); ++k) {
    const std::string name = dir + "/" + std::to_string(k) + ".wav";
    {
      WaveFileStream out(name, testsignals::MonoFormat(), SoundFileStream::ModeCreate);
      int written = 0;
      out.Write(sounds[k].data(), static_cast<unsigned>(sounds[k].size()), &written);
    }
    script << "sound = Read from file: \"" << name << "\"\n"
           << "formant = To Formant (burg): 0, 4, " << ceilings[k] << ", 0.025, 50\n"
           << "f1 = Get quantile: 1, 0, 0, \"hertz\", 0.5\n"
           << "f2 = Get quantile: 2, 0, 0, \"hertz\", 0.5\n"
           << "appendInfoLine: f1, \" \", f2\n"
           << "removeObject: sound, formant\n";
  }
  script.close();
  std::vector<std::pair<double, double>> out;
  if (std::system(("praat --run '" + dir + "/burg.praat' > '" + dir + "/burg.txt' 2>/dev/null").c_str()) == 0) {
    std::ifstream in(dir + "/burg.txt");
    double f1 = 0.0, f2 = 0.0;
    while (out.size() < sounds.size() && in >> f1 >> f2) out.emplace_back(f1, f2);
  }
  std::system(("rm -rf '" + dir + "'").c_str());
  if (out.size() != sounds.size()) out.clear();
  return out;
}

void Table(const char* title, double (*pitch)(voices::Speaker)) {
  struct Row {
    voices::Speaker speaker;
    voices::VowelTarget vowel;
    double f0;
  };
  std::vector<Row> rows;
  std::vector<std::vector<int16_t>> sounds;
  std::vector<double> ceilings;
  unsigned seed = 1;
  for (const auto speaker : {voices::Speaker::Man, voices::Speaker::Woman, voices::Speaker::Child}) {
    for (const auto& vowel : voices::JapaneseVowels(speaker)) {
      voices::VoiceRecipe recipe;
      recipe.f0Start = recipe.f0End = pitch(speaker);
      recipe.formants = voices::VowelResonances(speaker, vowel.f1, vowel.f2);
      recipe.seed = seed++;
      rows.push_back({speaker, vowel, recipe.f0Start});
      sounds.push_back(voices::Synthesize(recipe).samples);
      ceilings.push_back(speaker == voices::Speaker::Man ? 5000.0 : 5500.0);
    }
  }
  const auto peer = PeerFormants(sounds, ceilings);

  std::printf("%s\n", title);
  std::printf("  speaker vowel  F0 |  truth F1   F2 |    fixed order 16: F1 (err)     F2 (err) |"
              "     automatic: F1 (err)     F2 (err) |%s\n",
              peer.empty() ? "" : "   peer's Burg: F1 (err)     F2 (err)");
  Totals fixed, automatic, burg;
  for (size_t k = 0; k < rows.size(); ++k) {
    const auto& row = rows[k];
    std::printf("  %-7s  /%s/ %4.0f | %5.0f %5.0f |", voices::SpeakerName(row.speaker), row.vowel.name, row.f0,
                row.vowel.f1, row.vowel.f2);
    auto column = [&](double f1, double f2, Totals& totals) {
      const double e1 = 100.0 * (f1 / row.vowel.f1 - 1.0), e2 = 100.0 * (f2 / row.vowel.f2 - 1.0);
      totals.Add(e1, e2);
      std::printf("  %13.0f (%+6.1f%%) %5.0f (%+6.1f%%) |", f1, e1, f2, e2);
    };
    for (const bool autoOrder : {false, true}) {
      const Track t = Analyse(sounds[k], autoOrder);
      column(Median(t.f1), Median(t.f2), autoOrder ? automatic : fixed);
    }
    if (!peer.empty()) column(peer[k].first, peer[k].second, burg);
    std::printf("\n");
  }
  fixed.Print("fixed 16");
  automatic.Print("automatic");
  if (!peer.empty()) burg.Print("peer Burg");
  std::printf("\n");
}

double Typical(voices::Speaker s) { return voices::TypicalF0(s); }
double Low(voices::Speaker s) { return s == voices::Speaker::Man ? 100.0 : s == voices::Speaker::Woman ? 180.0 : 250.0; }
double High(voices::Speaker s) { return s == voices::Speaker::Man ? 150.0 : s == voices::Speaker::Woman ? 260.0 : 350.0; }

int Jumps(const Track& t) {
  int jumps = 0;
  for (size_t k = 2; k < t.f1.size(); ++k) {
    const bool f1 = t.f1[k - 1] > 0 && std::fabs(t.f1[k] / t.f1[k - 1] - 1.0) > 0.15;
    const bool f2 = t.f2[k - 1] > 0 && std::fabs(t.f2[k] / t.f2[k - 1] - 1.0) > 0.15;
    jumps += f1 || f2;
  }
  return jumps;
}

// The automatic analysis with the low path's lift fixed (as before it followed the recording's slope).
Track AnalyseFixedLift(const std::vector<int16_t>& samples) {
  HarmonicFormants analysis;
  analysis.Prepare(kBlock);
  analysis.SetFollowTilt(false);
  Track t;
  std::vector<double> frame(kBlock);
  for (size_t from = 0; from + kBlock <= samples.size(); from += kBlock) {
    for (unsigned i = 0; i < kBlock; ++i) frame[i] = Hann(i, kBlock) * samples[from + i];
    double f[8], b[8];
    analysis.Analyze(frame.data(), 11025.0, 0.98, 500.0, f, b, 8);
    t.f1.push_back(f[0]);
    t.f2.push_back(f[1]);
  }
  return t;
}

// Per tilt and speaker: mean and worst F1 and F2 error of each analysis over the five vowels.
void TiltTable() {
  std::printf("Spectral tilt (typical pitch): F1 mean/worst, F2 mean/worst in per cent\n");
  std::printf("  tilt  speaker |      fixed order 16: F1           F2 |      fixed lift: F1           F2 |"
              "  following tilt: F1           F2\n");
  for (const double tilt : {-6.0, 0.0, 6.0}) {
    for (const auto speaker : {voices::Speaker::Man, voices::Speaker::Woman, voices::Speaker::Child}) {
      Totals fixed, fixedLift, automatic;
      unsigned seed = 1;
      for (const auto& vowel : voices::JapaneseVowels(speaker)) {
        voices::VoiceRecipe recipe;
        recipe.f0Start = recipe.f0End = voices::TypicalF0(speaker);
        recipe.formants = voices::VowelResonances(speaker, vowel.f1, vowel.f2);
        recipe.tilt = tilt;
        recipe.seed = seed++;
        const auto samples = voices::Synthesize(recipe).samples;
        auto add = [&](const Track& t, Totals& totals) {
          totals.Add(100.0 * (Median(t.f1) / vowel.f1 - 1.0), 100.0 * (Median(t.f2) / vowel.f2 - 1.0));
        };
        add(Analyse(samples, false), fixed);
        add(AnalyseFixedLift(samples), fixedLift);
        add(Analyse(samples, true), automatic);
      }
      std::printf("  %+4.0f  %-7s |", tilt, voices::SpeakerName(speaker));
      for (const Totals* totals : {&fixed, &fixedLift, &automatic})
        std::printf("  %6.2f / %6.2f   %5.2f / %5.2f |", totals->f1Sum / totals->count, totals->f1Worst,
                    totals->f2Sum / totals->count, totals->f2Worst);
      std::printf("\n");
    }
  }
}

}  // namespace

int main() {
  Table("Typical pitch of each speaker", Typical);
  Table("Lower pitch", Low);
  Table("Higher pitch", High);
  std::printf("2-second /a/ -> /i/ glide: blocks where F1 or F2 moves by more than 15 %% (goal: at most 1)\n");
  for (const auto speaker : {voices::Speaker::Man, voices::Speaker::Woman, voices::Speaker::Child}) {
    const auto vowels = voices::JapaneseVowels(speaker);
    const auto voice = voices::Synthesize(voices::VowelGlide(speaker, vowels[0], vowels[1], 2.0));
    std::printf("  %-6s fixed order 16: %2d   automatic: %2d\n", voices::SpeakerName(speaker),
                Jumps(Analyse(voice.samples, false)), Jumps(Analyse(voice.samples, true)));
  }
  std::printf("\n");
  TiltTable();
  return 0;
}
