// Feeds arbitrary bytes to the readers of the session's text files: the same bytes as the .f0 and as
// the .fr file beside a small valid WAVE file. A load either fails with one of its messages (a line
// of fewer than four fields, a value that is not wholly a number, a line over 4 KiB) or gives one
// value per non-empty line; a loaded session saves, the saved one loads again with the same counts,
// and its F0 frame shift survives the round trip.

#include <sys/stat.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Fuzzsupport.h"
#include "config/Settings.h"
#include "engine/Engine.h"
#include "engine/Sessiontext.h"
#include "base/Error.h"
#include "platform/Virtualwavein.h"
#include "sound/Wavefilestream.h"

using namespace vowelscope;

namespace {

using fuzz::Check;

// One scratch folder and one Engine per fuzzing process; the Engine goes before the folder at exit.
struct Scratch {
  std::filesystem::path folder;
  std::unique_ptr<Settings> settings;
  std::unique_ptr<Engine> engine;

  Scratch() {
    folder = fuzz::ScratchFolder("fuzz_sessionfiles");
    settings = std::make_unique<Settings>((folder / "Settings.ini").string());
    engine = std::make_unique<Engine>(settings.get(), std::make_shared<VirtualWaveIn>());
    WaveFileStream wave((folder / "in.wav").string(), Engine::GetSoundFormat(), SoundFileStream::ModeCreate);
    const int16_t samples[3] = {1, -2, 3};
    wave.Write(samples, 3, nullptr);
  }
  ~Scratch() { engine.reset(); }
};

Scratch& GetScratch() {
  static Scratch scratch;
  return scratch;
}

// CR LF, LF and a lone CR each end a line.
size_t NonEmptyLines(const uint8_t* data, size_t size) {
  size_t lines = 0;
  bool content = false;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == '\n' || data[i] == '\r') {
      lines += content ? 1 : 0;
      content = false;
    } else {
      content = true;
    }
  }
  return lines + (content ? 1 : 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Scratch& scratch = GetScratch();
  for (const char* ext : {".f0", ".fr"}) {
    if (!fuzz::WriteInput((scratch.folder / (std::string("in") + ext)).string(), data, size)) return 0;
  }
  // The text format on its own: what it reads it writes back, and reads again to the same numbers.
  {
    const std::string in = (scratch.folder / "in.f0").string();
    std::vector<std::array<double, 3>> rows;
    std::string text;
    const auto keep = [&](std::optional<double>, double a, double b, double c) {
      rows.push_back({a, b, c});
      AppendSessionLine(text, static_cast<int64_t>(rows.size()), a, b, c);
    };
    if (ReadSessionText(in, size + 1, keep) == SessionTextResult::Read) {
      Check(rows.size() == NonEmptyLines(data, size));
      const std::string again = (scratch.folder / "again.f0").string();
      Check(fuzz::WriteInput(again, reinterpret_cast<const uint8_t*>(text.data()), text.size()));
      size_t index = 0;
      const auto compare = [&](std::optional<double> time, double a, double b, double c) {
        Check(index < rows.size() && time.has_value() && *time == static_cast<double>(index + 1));
        const std::array<double, 3> first = rows[index++];
        const double read[3] = {a, b, c};
        // Written to three decimals: the same number to within half a thousandth (or the same infinity).
        for (int k = 0; k < 3; ++k) {
          Check(std::isnan(first[k]) == std::isnan(read[k]));
          if (!std::isnan(first[k])) Check(first[k] == read[k] || std::abs(first[k] - read[k]) <= 0.0005 + 1e-12 * std::abs(first[k]));
        }
      };
      Check(ReadSessionText(again, rows.size() + 1, compare) == SessionTextResult::Read);
      Check(index == rows.size());
    }
  }

  Engine& engine = *scratch.engine;
  // Input starting with '|' has a named pipe as the .fr: the load must refuse it, never wait on it.
  const bool pipe = size > 0 && data[0] == '|';
  const std::string fr = (scratch.folder / "in.fr").string();
  if (pipe) {
    std::remove(fr.c_str());
    Check(::mkfifo(fr.c_str(), 0600) == 0);
  }
  try {
    engine.LoadFiles((scratch.folder / "in.wav").string());
  } catch (const Error& error) {
    if (pipe) {
      Check(std::string(error.what()) == "ファイル形式に誤りがあります。" ||
            std::string(error.what()) == "ファイルを読み込むことができませんでした。");
      std::remove(fr.c_str());
    }
    return 0;
  }
  Check(!pipe);
  const size_t lines = NonEmptyLines(data, size);
  Check(engine.GetFZeroResult() != nullptr && engine.GetFZeroResult()->values.size() == lines);
  Check(engine.GetFormantTrack()->size() == lines);

  const double shift = engine.GetFZeroResult()->frameShift;
  engine.SaveFiles((scratch.folder / "out.wav").string());
  engine.LoadFiles((scratch.folder / "out.wav").string());
  Check(engine.GetFZeroResult()->values.size() == lines);
  // The time column written is the true one of that shift, so it is found again (two lines or more).
  Check(lines < 2 || engine.GetFZeroResult()->frameShift == shift);
  Check(engine.GetFormantTrack()->size() == lines);
  Check(engine.GetSound()->GetLength() == 3);
  return 0;
}
