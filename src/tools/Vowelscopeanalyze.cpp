// vowelscope-analyze: the analyses of recordings, without the window. Each input, in any common audio
// format, is brought into the recording format and fed block by block through an Engine's recording
// path, as the window analyses a file, so the formant track and the F0 track are those the program
// itself would produce for the same sound; the session is then saved as the program saves it. Several
// inputs and whole folders run side by side, one Engine per job.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "config/Settings.h"
#include "base/Error.h"
#include "base/Fileutilities.h"
#include "base/Stringutilities.h"
#include "platform/Memorypolicy.h"
#include "platform/Terminal.h"
#include "tools/Batchanalysis.h"

namespace vowelscope {
namespace {

const char kUsage[] =
    "usage: vowelscope-analyze [--settings FILE] INPUT [OUTPUT_BASE]\n"
    "       vowelscope-analyze [--settings FILE] [-j N] [--summary TABLE.csv] -o OUTDIR INPUT|FOLDER...\n"
    "\n"
    "Analyses recordings as Vowelscope does after recording from the microphone, and saves each as a\n"
    "session that the program opens: BASE.wav (the sound in the recording format), BASE.f0 (the F0\n"
    "track) and BASE.fr (the formant track).\n"
    "\n"
    "In the first form BASE is OUTPUT_BASE, or INPUT's own name beside it; an extension given with\n"
    "OUTPUT_BASE is replaced. In the second, every INPUT gives OUTDIR/<its name>, and every audio file\n"
    "found in a FOLDER and its subfolders gives OUTDIR/<folder name>/<its path below the folder>.\n"
    "Every file is written under a temporary name and renamed into place when complete.\n"
    "\n"
    "INPUT may be any common audio file: WAV of any width (float and extensible too), FLAC, OGG/Vorbis,\n"
    "Opus, AIFF, MP3 where the installed libsndfile reads it. It is mixed to mono, resampled to 11025 Hz\n"
    "and rounded to 16 bits (values beyond the range are held at its ends), then fed block by block\n"
    "(25 ms) through the same code as a recording: the live formant analysis, then the F0 pass.\n"
    "\n"
    "options:\n"
    "  --settings FILE  read the analysis settings from FILE instead of the user's Settings.ini\n"
    "                   (<config folder>/Halcyon/Vowelscope/Settings.ini, where the program keeps them)\n"
    "  -o, --output-dir OUTDIR\n"
    "                   analyse every INPUT and FOLDER given into OUTDIR (created when missing)\n"
    "  -j, --jobs N     analyse N files at a time (default: the number of processor cores)\n"
    "  --summary FILE   write a table of every analysed file: file, duration_s, voiced_share,\n"
    "                   median_f0_hz, median_f1_hz, median_f2_hz (comma-separated, with a header)\n"
    "  -h, --help       show this text\n"
    "\n"
    "A progress bar of the files done is drawn on stderr when stderr is a terminal. A file that fails\n"
    "does not stop the others; every failure is listed on stderr at the end, with the program's message:\n"
    "  音声ファイルが見つかりません。                  INPUT does not exist\n"
    "  この形式の音声ファイルは読み込めません。        INPUT is no audio file this program reads\n"
    "  音声ファイルが壊れているか、途中で切れています。INPUT ends before its stated length\n"
    "  ファイルの保存に失敗しました。...               an output file could not be written\n"
    "The paths of the files written go to stdout, three lines per input, in the order of the inputs.\n"
    "Exit status: 0 when every file was analysed and saved, 1 when any failed, 2 for a wrong command line.\n";

const char* const kSettingsMissing = "設定ファイルが見つかりません。";
const char* const kSummaryFailed = "ファイルの保存に失敗しました。保存先が書き込み可能か、空き容量が十分か確認してください。";

struct Options {
  std::vector<std::string> inputs;
  std::string output;        // the first form's OUTPUT_BASE
  std::string outputFolder;  // the second form's OUTDIR
  std::string settingsFile;
  std::string summaryFile;
  unsigned jobs = 0;         // 0: the number of cores
  bool help = false;
};

// The value of an option given as "--name VALUE" or "--name=VALUE"; false when it is not this option.
bool OptionValue(int argc, char** argv, int& i, const char* shortName, const char* longName, std::string& value,
                 std::string& error) {
  const std::string arg = argv[i];
  const std::string prefix = std::string(longName) + "=";
  if (arg.rfind(prefix, 0) == 0) {
    value = arg.substr(prefix.size());
    return true;
  }
  if (arg != longName && (shortName == nullptr || arg != shortName)) return false;
  if (i + 1 >= argc) {
    error = std::string(longName) + " needs a value";
    value.clear();
    return true;
  }
  value = argv[++i];
  return true;
}

// False, with the reason in `error`, for a command line that names no input, too much, or a bad value.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    std::string value;
    if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (OptionValue(argc, argv, i, nullptr, "--settings", value, error)) {
      options.settingsFile = value;
    } else if (OptionValue(argc, argv, i, "-o", "--output-dir", value, error)) {
      options.outputFolder = value;
    } else if (OptionValue(argc, argv, i, nullptr, "--summary", value, error)) {
      options.summaryFile = value;
    } else if (OptionValue(argc, argv, i, "-j", "--jobs", value, error)) {
      char* end = nullptr;
      const long jobs = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || jobs < 1 || jobs > 1024) {
        error = "--jobs needs a number from 1 to 1024";
        return false;
      }
      options.jobs = static_cast<unsigned>(jobs);
    } else if (arg == "--") {
      for (++i; i < argc; ++i) positional.emplace_back(argv[i]);
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option " + arg;
      return false;
    } else {
      positional.push_back(arg);
    }
    if (!error.empty()) return false;
  }
  if (options.help) return true;
  if (positional.empty()) {
    error = "no input file given";
    return false;
  }
  if (options.outputFolder.empty()) {
    // The first form: one input, and where its session goes.
    if (positional.size() > 2) {
      error = "too many arguments (several inputs need -o OUTDIR)";
      return false;
    }
    options.inputs = {positional[0]};
    options.output = positional.size() > 1 ? positional[1] : positional[0];
  } else {
    options.inputs = positional;
  }
  return true;
}

std::unique_ptr<Settings> LoadSettings(const Options& options) {
  std::unique_ptr<Settings> settings;
  if (options.settingsFile.empty()) {
    settings = std::make_unique<Settings>();
  } else {
    if (!FileExists(options.settingsFile)) throw Error(kSettingsMissing);
    settings = std::make_unique<Settings>(options.settingsFile);
  }
  settings->Load();  // a missing file leaves the defaults, as in the program
  return settings;
}

// Files done out of all, on stderr; called by the job that finished one, under the batch's lock.
void DrawBar(size_t done, size_t total) {
  constexpr size_t kWidth = 40;
  const size_t filled = total == 0 ? kWidth : done * kWidth / total;
  std::fprintf(stderr, "\r[%s%s] %zu/%zu%s", std::string(filled, '#').c_str(), std::string(kWidth - filled, '.').c_str(),
               done, total, done == total ? "\n" : "");
  std::fflush(stderr);
}

// The message's first line: the program's own messages name the file on a second line, and here the
// whole path leads the line instead.
std::string FirstLine(const std::string& message) { return message.substr(0, message.find('\n')); }

// 0 when every input was analysed and saved, 1 otherwise; throws Error for a failure before the first.
int Analyze(const Options& options) {
  const std::unique_ptr<Settings> settings = LoadSettings(options);
  std::vector<BatchItem> items;
  if (options.outputFolder.empty()) {
    items.push_back({options.inputs.front(), ChangeExtension(options.output, "")});
  } else {
    std::string error;
    if (!CollectBatchItems(options.inputs, options.outputFolder, items, error)) throw Error(error);
  }
  const unsigned jobs = options.jobs != 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
  const bool drawBar = platform::IsTerminal(stderr);
  const std::vector<BatchResult> results =
      RunBatch(*settings, items, jobs, [&](size_t done, size_t total) {
        if (drawBar) DrawBar(done, total);
      });

  int failed = 0;
  for (const BatchResult& result : results) {
    if (!result.ok) {
      ++failed;
      continue;
    }
    for (const char* ext : {".wav", ".f0", ".fr"}) std::printf("%s%s\n", result.outputBase.c_str(), ext);
  }
  for (const BatchResult& result : results) {
    if (result.ok) continue;
    // With one input the message stands alone, as the program shows it.
    if (results.size() == 1) {
      std::fprintf(stderr, "%s\n", FirstLine(result.error).c_str());
    } else {
      std::fprintf(stderr, "%s: %s\n", result.input.c_str(), FirstLine(result.error).c_str());
    }
  }
  if (results.size() > 1 && failed > 0) std::fprintf(stderr, "%d of %zu files failed\n", failed, results.size());
  if (!options.summaryFile.empty() && !WriteBatchSummary(options.summaryFile, results)) throw Error(kSummaryFailed);
  return failed > 0 ? 1 : 0;
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
  // Each file's sound is freed when the next begins; held in the allocator's lists instead, the sounds
  // of files gone would count beside the ones being analysed.
  platform::ReturnLargeBlocksAtOnce(128 * 1024);
  try {
    return Analyze(options);
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
