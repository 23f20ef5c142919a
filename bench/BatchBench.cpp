// Ten minutes of speech-like voice (vowels of 0.3 s at pitches from 90 to 320 Hz, with pauses) written
// as a 16-bit 11025 Hz WAVE file, then:
//   - vowelscope-analyze on it: the whole batch analysis (formants block by block, the F0 pass, the
//     three session files), wall time of the process, best of three;
//   - when praat is installed, its "To Pitch (ac)" alone on the same file (the file's reading is not
//     counted), best of three, and the ratio. Goal: the batch at least twice as fast.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "Voices.h"

namespace {

using namespace vowelscope;

std::vector<int16_t> Speech(double seconds) {
  std::vector<int16_t> out;
  const voices::Speaker speakers[] = {voices::Speaker::Man, voices::Speaker::Woman, voices::Speaker::Child};
  unsigned k = 0;
  while (out.size() < seconds * voices::kRate) {
    const voices::Speaker speaker = speakers[(k / 7) % 3];
    const auto vowels = voices::JapaneseVowels(speaker);
    const auto& vowel = vowels[k % vowels.size()];
    voices::VoiceSpec spec;
    spec.seconds = 0.3;
    spec.f0Start = voices::TypicalF0(speaker) * (0.9 + 0.05 * (k % 5));
    spec.f0End = spec.f0Start * 1.08;
    spec.formants = voices::VowelResonances(speaker, vowel.f1, vowel.f2);
    spec.seed = k;
    auto v = voices::Synthesize(spec);
    out.insert(out.end(), v.samples.begin(), v.samples.end());
    out.insert(out.end(), static_cast<size_t>(0.1 * voices::kRate), 0);
    ++k;
  }
  out.resize(static_cast<size_t>(seconds * voices::kRate));
  return out;
}

void WriteWave(const std::string& path, const std::vector<int16_t>& samples) {
  std::ofstream out(path, std::ios::binary);
  auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
  const uint32_t bytes = static_cast<uint32_t>(samples.size() * 2);
  out.write("RIFF", 4);
  u32(36 + bytes);
  out.write("WAVEfmt ", 8);
  u32(16);
  u16(1);
  u16(1);
  u32(11025);
  u32(22050);
  u16(2);
  u16(16);
  out.write("data", 4);
  u32(bytes);
  out.write(reinterpret_cast<const char*>(samples.data()), bytes);
}

double SecondsOf(const std::string& command) {
  const auto t0 = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0) return -1.0;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main() {
  char folder[] = "/tmp/vowelscope-batchbench-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  const std::string dir = folder;
  WriteWave(dir + "/speech.wav", Speech(600.0));

  double ours = 1e30;
  for (int run = 0; run < 3; ++run) {
    const double s = SecondsOf(std::string(VOWELSCOPE_ANALYZE) + " '" + dir + "/speech.wav' '" + dir + "/out' >/dev/null");
    if (s < 0) {
      std::printf("vowelscope-analyze failed\n");
      return 1;
    }
    ours = std::min(ours, s);
  }
  std::printf("10 minutes of speech, 16-bit mono 11025 Hz:\n");
  std::printf("  vowelscope-analyze (formants + F0 + save)   %6.2f s   %5.0fx real time\n", ours, 600.0 / ours);

  if (std::system("command -v praat >/dev/null 2>&1") == 0) {
    {
      std::ofstream script(dir + "/pitch.praat");
      script << "sound = Read from file: \"" << dir << "/speech.wav\"\n"
             << "stopwatch\n"
             << "pitch = To Pitch (ac): 0.01, 60, 15, \"no\", 0.03, 0.45, 0.01, 0.35, 0.14, 1000\n"
             << "writeInfoLine: stopwatch\n";
    }
    double peer = 1e30;
    for (int run = 0; run < 3; ++run) {
      const std::string out = dir + "/praat.txt";
      if (std::system(("praat --run '" + dir + "/pitch.praat' > '" + out + "' 2>/dev/null").c_str()) != 0) break;
      std::ifstream in(out);
      double s = 0.0;
      if (in >> s) peer = std::min(peer, s);
    }
    if (peer < 1e30) {
      std::printf("  praat To Pitch (ac) alone                   %6.2f s   %5.0fx real time\n", peer, 600.0 / peer);
      std::printf("  the batch is %.1fx as fast as the peer's pitch alone (goal >= 2x)\n", peer / ours);
    }
  } else {
    std::printf("  (praat is not installed: no peer figure)\n");
  }
  std::system(("rm -rf '" + dir + "'").c_str());
  return 0;
}
