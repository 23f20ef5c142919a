// vowelscope-analyze: the analyses of a recording, without the window. The WAVE file is fed block by
// block through a virtual input into an Engine, exactly as the microphone feeds a recording, so the
// formant track and the F0 track are those the program itself would produce for the same sound; the
// session is then saved as the program saves it.

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "config/Settings.h"
#include "engine/Callback.h"
#include "engine/Engine.h"
#include "engine/Error.h"
#include "engine/Fileutilities.h"
#include "engine/Stringutilities.h"
#include "platform/Terminal.h"
#include "platform/Virtualwavein.h"
#include "sound/Wavefilestream.h"

namespace vowelscope {
namespace {

const char kUsage[] =
    "usage: vowelscope-analyze [--settings FILE] INPUT.wav [OUTPUT_BASE]\n"
    "\n"
    "Analyses a recording as Vowelscope does after recording from the microphone, and saves it as a\n"
    "session that the program opens: OUTPUT_BASE.wav (the sound), OUTPUT_BASE.f0 (the F0 track) and\n"
    "OUTPUT_BASE.fr (the formant track). Without OUTPUT_BASE the files go beside INPUT, with its base\n"
    "name; an extension given with OUTPUT_BASE is replaced. Every file is written under a temporary\n"
    "name and renamed into place when complete, so even INPUT itself may be the destination.\n"
    "\n"
    "INPUT must be in the recording format: 16-bit PCM, mono, 11025 Hz. It is fed block by block\n"
    "(25 ms) through the same code as a recording: the live formant analysis, then the F0 pass.\n"
    "\n"
    "options:\n"
    "  --settings FILE  read the analysis settings from FILE instead of the user's Settings.ini\n"
    "                   (<config folder>/Halcyon/Vowelscope/Settings.ini, where the program keeps them)\n"
    "  -h, --help       show this text\n"
    "\n"
    "While the F0 pass runs, a progress bar is drawn on stderr when stderr is a terminal.\n"
    "Errors are reported on stderr with the program's messages, for example\n"
    "  WAVE ファイルが見つかりません。             INPUT does not exist\n"
    "  ファイル形式に誤りがあります。              INPUT is not a WAVE file in the recording format\n"
    "  ファイルの保存に失敗しました。...           an output file could not be written\n"
    "Exit status: 0 on success, 1 when the analysis or saving failed, 2 for a wrong command line.\n";

const char* const kWaveMissing = "WAVE ファイルが見つかりません。";
const char* const kSettingsMissing = "設定ファイルが見つかりません。";
const char* const kFormatError = "ファイル形式に誤りがあります。";
const char* const kInternalError = "内部エラーが発生しました。";

struct Options {
  std::string input;
  std::string output;
  std::string settingsFile;
  bool help = false;
};

// False, with the reason in `error`, for a command line that names no input or too much.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "--settings") {
      if (i + 1 >= argc) {
        error = "--settings needs a file name";
        return false;
      }
      options.settingsFile = argv[++i];
    } else if (arg.rfind("--settings=", 0) == 0) {
      options.settingsFile = arg.substr(std::strlen("--settings="));
    } else if (arg == "--") {
      for (++i; i < argc; ++i) positional.emplace_back(argv[i]);
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option " + arg;
      return false;
    } else {
      positional.push_back(arg);
    }
  }
  if (options.help) return true;
  if (positional.empty() || positional.size() > 2) {
    error = positional.empty() ? "no input file given" : "too many arguments";
    return false;
  }
  options.input = positional[0];
  options.output = positional.size() > 1 ? positional[1] : positional[0];
  return true;
}

// The samples of a WAVE file in the recording format; throws Error with the program's message.
std::vector<int16_t> ReadRecording(const std::string& fileName) {
  if (!FileExists(fileName)) throw Error(kWaveMissing);
  WaveFileStream file(fileName, 1);
  if (!file.IsOpen() || file.GetFormat() != Engine::GetSoundFormat()) throw Error(kFormatError);
  std::vector<int16_t> samples;
  std::vector<int16_t> block(4096);
  for (;;) {
    int got = 0;
    if (!file.Read(block.data(), static_cast<unsigned>(block.size()), &got)) throw Error(kInternalError);
    if (got <= 0) break;
    samples.insert(samples.end(), block.begin(), block.begin() + got);
  }
  return samples;
}

// Follows one recording and its analysis on the Engine's threads; the main thread waits on it.
class Session {
 public:
  Session(Engine& engine, bool drawProgress) : drawProgress(drawProgress) {
    engine.AddAudioCallback(CallbackMethod<Session, AudioCallbackParams>(this, &Session::OnAudio));
    engine.AddFZeroAnalyzeCallback(CallbackMethod<Session, bool>(this, &Session::OnAnalysisDone));
    engine.AddProgressCallback(CallbackMethod<Session, ProgressCallbackParams>(this, &Session::OnProgress));
  }

  // Until the capture has ended; false when it ended by a device failure.
  bool WaitCaptureEnd() {
    std::unique_lock<std::mutex> guard(mutex);
    changed.wait(guard, [&] { return captureEnded; });
    return !deviceFailed;
  }

  // Until the F0 pass has finished; false when it could not produce a result.
  bool WaitAnalysis() {
    std::unique_lock<std::mutex> guard(mutex);
    changed.wait(guard, [&] { return analysisEnded; });
    if (barDrawn) DrawBar(100, true);
    return analysed;
  }

 private:
  void OnAudio(AudioCallbackParams& params) {
    if (params.type != 2 && params.type != 4) return;
    std::lock_guard<std::mutex> guard(mutex);
    captureEnded = true;
    deviceFailed = deviceFailed || params.type == 4;
    changed.notify_all();
  }

  void OnAnalysisDone(bool& result) {
    std::lock_guard<std::mutex> guard(mutex);
    analysisEnded = true;
    analysed = result;
    changed.notify_all();
  }

  // Worker thread; the only writer of stderr while the pass runs.
  void OnProgress(ProgressCallbackParams& params) {
    if (!drawProgress || params.maximum <= params.minimum) return;
    const int64_t span = static_cast<int64_t>(params.maximum) - params.minimum;
    const int percent = static_cast<int>(100 * (static_cast<int64_t>(params.position) - params.minimum) / span);
    if (percent == lastPercent) return;
    lastPercent = percent;
    DrawBar(percent, false);
    barDrawn = true;
  }

  // The quiet parts are skipped, so the last report may fall short of 100 %; the end draws it full.
  static void DrawBar(int percent, bool last) {
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    std::fprintf(stderr, "\rF0 [%s%s] %3d%%%s", std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, '.').c_str(), percent, last ? "\n" : "");
    std::fflush(stderr);
  }

  const bool drawProgress;
  int lastPercent = -1;
  bool barDrawn = false;

  std::mutex mutex;
  std::condition_variable changed;
  bool captureEnded = false;
  bool deviceFailed = false;
  bool analysisEnded = false;
  bool analysed = false;
};

void Analyze(const Options& options) {
  std::unique_ptr<Settings> settings;
  if (options.settingsFile.empty()) {
    settings = std::make_unique<Settings>();
    settings->Load();  // a missing file leaves the defaults, as in the program
  } else {
    if (!FileExists(options.settingsFile)) throw Error(kSettingsMissing);
    settings = std::make_unique<Settings>(options.settingsFile);
    settings->Load();
  }

  const std::vector<int16_t> samples = ReadRecording(options.input);

  auto device = std::make_shared<VirtualWaveIn>();
  device->SetSpeed(VirtualWaveDevice::kAsFastAsPossible);
  // Silence after the end keeps the last block coming; the limit cuts it to the file's samples.
  device->SetSourceSamples(samples, VirtualWaveIn::AtEnd::Silence);
  Engine engine(settings.get(), device);
  engine.SetRecordLimitOverride(static_cast<uint32_t>(samples.size()));
  Session session(engine, platform::IsTerminal(stderr));

  if (!engine.StartRecord()) throw Error(kInternalError);
  if (!session.WaitCaptureEnd()) {
    engine.StopRecord(true);
    throw Error(kInternalError);
  }
  engine.StopRecord(false);
  if (!session.WaitAnalysis()) throw Error(kInternalError);
  if (engine.GetSound()->GetLength() != samples.size()) throw Error(kInternalError);

  engine.SaveFiles(options.output);
  for (const char* ext : {".wav", ".f0", ".fr"}) std::printf("%s\n", ChangeExtension(options.output, ext).c_str());
}

}  // namespace
}  // namespace vowelscope

int main(int argc, char** argv) {
  using namespace vowelscope;
  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "vowelscope-analyze: %s (see --help)\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  try {
    Analyze(options);
  } catch (const Error& failure) {
    std::fprintf(stderr, "%s\n", failure.what());
    return 1;
  } catch (const std::bad_alloc&) {
    // A recording too long for this machine's memory ends with the message, not an abort.
    std::fprintf(stderr, "%s\n", "メモリの確保に失敗しました。");
    return 1;
  }
  return 0;
}
