#pragma once
// Audio files made at test time by sox, the common command-line converter, so that the readers meet
// files written by another program and no binary fixture is kept.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace vowelscope::soxfiles {

// Runs sox with the arguments; true when it succeeded.
inline bool Sox(const std::string& arguments) {
  const std::string command = "sox " + arguments + " 2>/dev/null";
  return std::system(command.c_str()) == 0;
}

// Writes 16-bit mono samples at `rate` and has sox turn them into `out` with the output options given
// (for example "-r 44100 -c 2" or "-C 5"); the extension of `out` picks the container.
inline bool Convert(const std::vector<int16_t>& samples, int rate, const std::string& outputOptions,
                    const std::filesystem::path& out) {
  const std::filesystem::path raw = out.string() + ".raw";
  {
    std::ofstream file(raw, std::ios::binary);
    file.write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(samples.size() * 2));
  }
  const bool ok = Sox("-t raw -r " + std::to_string(rate) + " -e signed -b 16 -c 1 -L '" + raw.string() + "' " +
                      outputOptions + " '" + out.string() + "'");
  std::filesystem::remove(raw);
  return ok;
}

// Whether `program` is found on the PATH.
inline bool HasProgram(const std::string& program) {
  return std::system(("command -v '" + program + "' >/dev/null 2>&1").c_str()) == 0;
}

// For formats sox does not write (Opus, MP3): sox makes a WAVE file with the output options given, and
// `encoder`, a command line that takes the input and the output file at its end, turns it into `out`.
inline bool Encode(const std::vector<int16_t>& samples, int rate, const std::string& outputOptions,
                   const std::string& encoder, const std::filesystem::path& out) {
  const std::filesystem::path wave = out.string() + ".wav";
  bool ok = Convert(samples, rate, outputOptions, wave);
  ok = ok && std::system((encoder + " '" + wave.string() + "' '" + out.string() + "' >/dev/null 2>&1").c_str()) == 0;
  std::filesystem::remove(wave);
  return ok;
}

// A sine of `frequency` Hz at half of full scale, written by sox with the output options given.
inline bool Sine(double seconds, double frequency, const std::string& outputOptions, const std::filesystem::path& out) {
  return Sox("-n " + outputOptions + " '" + out.string() + "' synth " + std::to_string(seconds) + " sine " +
             std::to_string(frequency) + " vol 0.5");
}

// The frequency of a steady tone from its rising zero crossings, between the first and the last.
inline double ToneFrequency(const std::vector<int16_t>& samples, double rate) {
  double first = -1, last = -1;
  int crossings = 0;
  for (size_t i = 1; i < samples.size(); ++i) {
    if (samples[i - 1] < 0 && samples[i] >= 0) {
      const double at = (i - 1) + static_cast<double>(-samples[i - 1]) / (samples[i] - samples[i - 1]);
      if (first < 0) first = at;
      last = at;
      ++crossings;
    }
  }
  return crossings > 1 ? (crossings - 1) * rate / (last - first) : 0.0;
}

}  // namespace vowelscope::soxfiles
