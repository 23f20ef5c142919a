// Ten minutes of speech-like voice (vowels of 0.3 s at pitches from 90 to 320 Hz, with pauses) written
// as a 16-bit 11025 Hz WAVE file, then:
//   - vowelscope-analyze on it: the whole batch analysis (formants block by block, the F0 pass, the
//     three session files), wall time of the process, best of three;
//   - when praat is installed, its "To Pitch (ac)" alone on the same file (the file's reading is not
//     counted), best of three, and the ratio. Goal: the batch at least twice as fast;
//   - forty files of 30 s in one command line with -j 1 and -j 2, side by side, with peak memory;
//   - the peak memory per job, in sounds of one file, for the 30-s files and the ten minutes (goal < 3),
//     beyond the idle program and beyond one run on a half-second file (the code and libraries an
//     analysis touches, which a process holds once however many jobs it runs).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "Benchwave.h"
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
    voices::VoiceRecipe recipe;
    recipe.seconds = 0.3;
    recipe.f0Start = voices::TypicalF0(speaker) * (0.9 + 0.05 * (k % 5));
    recipe.f0End = recipe.f0Start * 1.08;
    recipe.formants = voices::VowelResonances(speaker, vowel.f1, vowel.f2);
    recipe.seed = k;
    auto v = voices::Synthesize(recipe);
    out.insert(out.end(), v.samples.begin(), v.samples.end());
    out.insert(out.end(), static_cast<size_t>(0.1 * voices::kRate), 0);
    ++k;
  }
  out.resize(static_cast<size_t>(seconds * voices::kRate));
  return out;
}

using bench::WriteWave;

double SecondsOf(const std::string& command) {
  const auto t0 = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0) return -1.0;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Wall time and peak resident memory of one run of a shell command; seconds < 0 when it failed.
struct RunFigures {
  double seconds = -1.0;
  double peakMegabytes = 0.0;
};

RunFigures Measure(const std::string& command) {
  RunFigures figures;
  const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
  const auto t0 = std::chrono::steady_clock::now();
  pid_t child = 0;
  if (posix_spawn(&child, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return figures;
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return figures;
  figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  figures.peakMegabytes = usage.ru_maxrss / 1024.0;  // of the largest process: the command run by the shell
  return figures;
}

// The same, measured by a fresh copy of this program: a child's peak memory starts from what its parent
// held when it was spawned, and this process holds ten minutes of synthesised speech by now.
RunFigures MeasureApart(const std::string& command) {
  RunFigures figures;
  std::string quoted;
  for (char c : command) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  char self[4096] = {};
  if (readlink("/proc/self/exe", self, sizeof(self) - 1) <= 0) return figures;
  FILE* pipe = popen(("'" + std::string(self) + "' --measure '" + quoted + "'").c_str(), "r");
  if (pipe == nullptr) return figures;
  if (std::fscanf(pipe, "%lf %lf", &figures.seconds, &figures.peakMegabytes) != 2) figures.seconds = -1.0;
  pclose(pipe);
  return figures;
}

// Peak memory of a run beyond a baseline, per job, in sounds of one file (16-bit mono 11025 Hz).
double SoundsPerJob(const RunFigures& run, const RunFigures& baseline, int jobs, double soundSeconds) {
  const double soundMegabytes = soundSeconds * 11025 * 2 / (1024.0 * 1024.0);
  return (run.peakMegabytes - baseline.peakMegabytes) / jobs / soundMegabytes;
}

// The baselines the memory per job is measured from: the program that only prints its help, and the
// program after a half-second file, which has touched the code and libraries of an analysis.
struct Baselines {
  RunFigures idle;
  RunFigures loaded;
};

Baselines MeasureBaselines(const std::string& dir) {
  Baselines baselines;
  const std::string shortFile = dir + "/short.wav";
  WriteWave(shortFile, Speech(0.5));
  baselines.idle = MeasureApart(std::string(VOWELSCOPE_ANALYZE) + " --help >/dev/null");
  baselines.loaded = MeasureApart(std::string(VOWELSCOPE_ANALYZE) + " -o '" + dir + "/short' '" + shortFile + "' >/dev/null");
  return baselines;
}

void PrintMemory(const char* what, const RunFigures& run, const Baselines& baselines, int jobs, double soundSeconds) {
  std::printf("  %-22s %5.2f beyond the idle program, %5.2f beyond the program after a 0.5-s file\n", what,
              SoundsPerJob(run, baselines.idle, jobs, soundSeconds), SoundsPerJob(run, baselines.loaded, jobs, soundSeconds));
}

// Forty files of 30 s through one command line with one job and with two: the time of each side by
// side, and the peak memory per job in sounds of one file.
bool ParallelFigures(const std::string& dir, const Baselines& baselines, const RunFigures& tenMinutes) {
  constexpr int kFiles = 40;
  constexpr double kSeconds = 30.0;
  std::string inputs;
  {
    // Freed before the runs: a child's peak memory counts what it had from this process before exec.
    const std::vector<int16_t> speech = Speech(kSeconds);
    for (int i = 0; i < kFiles; ++i) {
      const std::string file = dir + "/take" + std::to_string(i) + ".wav";
      WriteWave(file, speech);
      inputs += " '" + file + "'";
    }
  }
  RunFigures one, two;
  for (int run = 0; run < 2; ++run) {
    const RunFigures a = MeasureApart(std::string(VOWELSCOPE_ANALYZE) + " -j 1 -o '" + dir + "/j1'" + inputs + " >/dev/null");
    const RunFigures b = MeasureApart(std::string(VOWELSCOPE_ANALYZE) + " -j 2 -o '" + dir + "/j2'" + inputs + " >/dev/null");
    if (a.seconds < 0 || b.seconds < 0) return false;
    if (one.seconds < 0 || a.seconds < one.seconds) one = a;
    if (two.seconds < 0 || b.seconds < two.seconds) two = b;
  }
  std::printf("%d files of %.0f s (16-bit mono 11025 Hz), one command line:\n", kFiles, kSeconds);
  std::printf("  -j 1   %6.2f s   peak %6.1f MB\n", one.seconds, one.peakMegabytes);
  std::printf("  -j 2   %6.2f s   peak %6.1f MB   %.2f of the time of -j 1 (goal <= 0.6 on 2 cores)\n", two.seconds,
              two.peakMegabytes, two.seconds / one.seconds);
  std::printf("peak memory per job in sounds of one file (goal < 3); idle program %.1f MB, after a 0.5-s file %.1f MB:\n",
              baselines.idle.peakMegabytes, baselines.loaded.peakMegabytes);
  PrintMemory("30-s files, -j 1", one, baselines, 1, kSeconds);
  PrintMemory("30-s files, -j 2", two, baselines, 2, kSeconds);
  if (tenMinutes.seconds >= 0) PrintMemory("10-min file, -j 1", tenMinutes, baselines, 1, 600.0);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--measure") {
    const RunFigures figures = Measure(argv[2]);
    std::printf("%f %f\n", figures.seconds, figures.peakMegabytes);
    return figures.seconds < 0 ? 1 : 0;
  }
  // The ten minutes alone, kept for comparing the files the batch writes before and after a change.
  if (argc == 3 && std::string(argv[1]) == "--speech") {
    WriteWave(argv[2], Speech(600.0));
    return 0;
  }
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
  const Baselines baselines = MeasureBaselines(dir);
  const RunFigures tenMinutes =
      MeasureApart(std::string(VOWELSCOPE_ANALYZE) + " -o '" + dir + "/memory' '" + dir + "/speech.wav' >/dev/null");
  if (!ParallelFigures(dir, baselines, tenMinutes)) std::printf("vowelscope-analyze failed on the forty files\n");
  std::system(("rm -rf '" + dir + "'").c_str());
  return 0;
}
