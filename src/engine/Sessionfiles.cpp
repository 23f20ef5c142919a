// The three files of a saved session: <base>.wav (the sound), <base>.f0 (the F0 track) and <base>.fr
// (the formant track), the latter two tab-separated text of "time<TAB>a<TAB>b<TAB>c" lines:
//   .f0: time in ms (i * frame shift), frequency, power, score
//   .fr: time in ms (i * 25), f1, f2, power
// The three files are written beside their targets under temporary names and renamed into place only
// once all three are complete, so a failed save leaves the session saved before whole: never a new
// sound beside the old analyses.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <limits>
#include <list>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "config/Settings.h"
#include "engine/Engine.h"
#include "engine/Error.h"
#include "engine/Fileutilities.h"
#include "engine/Stringutilities.h"
#include "platform/Filesystem.h"
#include "sound/Nullconvert.h"
#include "sound/Soundconverter.h"
#include "sound/Wavefilestream.h"

namespace vowelscope {

namespace {

const char* const kInternalError = "内部エラーが発生しました。";
const char* const kSaveFailed =
    "ファイルの保存に失敗しました。保存先が書き込み可能か、空き容量が十分か確認してください。";
const char* const kFormatError = "ファイル形式に誤りがあります。";
const char* const kReadFailed = "ファイルを読み込むことができませんでした。";
const char* const kNoMemory = "メモリの確保に失敗しました。";

constexpr int kModeRead = 1;
constexpr int kModeCreate = 2;
constexpr uint64_t kWaveHeaderBytes = 46;  // RIFF, fmt with its 18-byte record, data chunk header
constexpr int kBlockMilliseconds = 25;

// Numbers in the files always have a point as decimal separator. The C library's conversions follow
// the process's numeric locale, which the toolkit sets from the user's environment; these do what
// printf's "%.3f" and strtod do in the "C" locale, whatever the locale, so sessions stay readable when
// they move between machines and users.
std::string FixedThree(double value) {
  char text[64];
  const auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 3);
  return error == std::errc() ? std::string(text, end) : std::string("0.000");
}

std::string FormatLine(int time, double a, double b, double c) {
  return FormatString("%d\t%s\t%s\t%s", time, FixedThree(a).c_str(), FixedThree(b).c_str(), FixedThree(c).c_str());
}

// Leading blanks skipped, the longest numeric prefix taken, 0 when there is none.
double ParseNumber(const std::string& field) {
  const char* p = field.c_str();
  const char* end = p + field.size();
  while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r')) ++p;
  if (p < end && *p == '+') ++p;  // from_chars takes a minus sign only
  double value = 0.0;
  const auto [stop, error] = std::from_chars(p, end, value, std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    // strtod gives the infinity or zero of that sign; from_chars leaves the value alone.
    const bool negative = *p == '-';
    const std::string digits(p, stop);
    const bool tiny = digits.find_first_of("eE") != std::string::npos &&
                      digits.find('-', digits.find_first_of("eE")) != std::string::npos;
    return tiny ? (negative ? -0.0 : 0.0)
                : (negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity());
  }
  return error == std::errc() ? value : 0.0;
}

// One parsed line: the time column is not used, the next three are.
struct LineFields {
  double a = 0.0;
  double b = 0.0;
  double c = 0.0;
};

// Reads every non-empty line of a .f0 or .fr file. Throws when the file cannot be read or a line has
// fewer than four tab-separated fields; fields after the fourth are ignored.
std::vector<LineFields> ReadFieldLines(const std::string& fileName) {
  std::list<std::string> lines;
  if (!ReadLines(fileName, lines)) throw Error(kReadFailed);
  std::vector<LineFields> parsed;
  std::list<std::string> fields;
  for (const std::string& line : lines) {
    if (line.empty()) continue;
    Split(line, "\t", "", false, fields);
    if (fields.size() < 4) throw Error(kFormatError);
    auto field = std::next(fields.begin());
    LineFields values;
    values.a = ParseNumber(*field++);
    values.b = ParseNumber(*field++);
    values.c = ParseNumber(*field);
    parsed.push_back(values);
  }
  return parsed;
}

// A new, empty file beside target with a name of its own; throws `failure` when none can be made.
std::string CreateTemporaryBeside(const std::string& target, const char* failure) {
  std::string temporary;
  std::FILE* created = platform::CreateFileBeside(target, temporary);
  if (created == nullptr) throw Error(failure);
  std::fclose(created);
  return temporary;
}

// Writes the lines under a temporary name beside fileName and returns that name.
std::string WriteTextFile(const std::string& fileName, const std::list<std::string>& lines) {
  const std::string temporary = CreateTemporaryBeside(fileName, kSaveFailed);
  if (!WriteLines(temporary, lines)) {
    std::remove(temporary.c_str());
    throw Error(kSaveFailed);
  }
  return temporary;
}

// Whether the closed WAVE file at fileName holds exactly `frames` frames of `format`, header included.
bool WaveFileIsComplete(const std::string& fileName, const SoundFormat& format, uint32_t frames) {
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(fileName, error);
  const uint64_t dataBytes = format.FramesToBytes(frames);
  if (error || size != kWaveHeaderBytes + dataBytes + (dataBytes & 1)) return false;
  WaveFileStream check(fileName, kModeRead);
  return check.IsOpen() && check.GetFormat() == format && check.GetLength() == frames;
}

bool SyncToDisk(const std::string& fileName) {
  std::FILE* file = std::fopen(fileName.c_str(), "rb");
  if (file == nullptr) return false;
  const bool synced = platform::SyncFile(file);
  return (std::fclose(file) == 0) && synced;
}

}  // namespace

void Engine::SaveFiles(const std::string& path) {
  // The capture thread writes the sound and the F0 job replaces the result.
  if (IsRecording() || IsAnalysing()) throw Error(kInternalError);
  const std::string targets[3] = {ChangeExtension(path, ".wav"), ChangeExtension(path, ".f0"),
                                  ChangeExtension(path, ".fr")};
  // The sound's failures keep their own message, as when the copy into the WAVE file fails.
  const char* const failures[3] = {kInternalError, kSaveFailed, kSaveFailed};
  std::vector<std::string> temporaries;
  auto removeFrom = [&temporaries](size_t first) {
    for (size_t j = first; j < temporaries.size(); ++j) std::remove(temporaries[j].c_str());
  };
  try {
    temporaries.push_back(SaveWave(targets[0]));
    temporaries.push_back(SaveFZero(targets[1]));
    temporaries.push_back(SaveFormants(targets[2]));
  } catch (...) {
    removeFrom(0);
    throw;
  }
  // A folder in the way of any file stops the save before anything is replaced.
  for (size_t i = 0; i < 3; ++i) {
    if (DirectoryExists(targets[i])) {
      removeFrom(0);
      throw Error(failures[i]);
    }
  }
  for (size_t i = 0; i < 3; ++i) {
    if (std::rename(temporaries[i].c_str(), targets[i].c_str()) != 0) {
      removeFrom(i);
      throw Error(failures[i]);
    }
  }
}

void Engine::LoadFiles(const std::string& path) {
  if (IsRecording() || IsAnalysing()) throw Error(kInternalError);
  // Nothing is replaced until every file has been read: a session whose .f0 or .fr turns out bad must
  // not leave one recording's sound with another's analyses, which the next save would store as one.
  SoundMemoryStream loaded(GetSoundFormat());
  LoadWave(ChangeExtension(path, ".wav"), loaded);
  std::shared_ptr<const FZeroResult> result = LoadFZero(ChangeExtension(path, ".f0"));
  std::vector<FormantValue> formants = LoadFormants(ChangeExtension(path, ".fr"));

  sound.Swap(loaded);
  sound.Seek(0, 0);
  std::atomic_store(&fzeroResult, std::move(result));
  formantList = std::move(formants);
  formantTrack = formantList;
}

std::string Engine::SaveWave(const std::string& fileName) {
  const std::string temporary = CreateTemporaryBeside(fileName, kInternalError);

  const SoundFormat format = GetSoundFormat();
  bool copied = false;
  {
    WaveFileStream file(temporary, format, kModeCreate);
    SoundConvertExecuter executer;
    executer.SetConverter(NullConvert());
    sound.Seek(0, 0);
    copied = file.IsOpen() && executer.Run(sound, file);
    // Closing writes the header sizes; it fails when the last bytes did not reach the file.
    copied = file.Close() && copied;
  }
  // Read back before it may take the place of an earlier session.
  const bool complete = copied && WaveFileIsComplete(temporary, format, sound.GetLength()) && SyncToDisk(temporary);
  if (!complete) {
    std::remove(temporary.c_str());
    throw Error(kInternalError);
  }
  return temporary;
}

std::string Engine::SaveFZero(const std::string& fileName) {
  std::list<std::string> lines;
  // Without a result yet the file is empty, so that every saved session can be opened again.
  if (const std::shared_ptr<const FZeroResult> result = GetFZeroResult()) {
    const int shiftMs = static_cast<int>(std::lround(result->frameShift * 1000.0));
    int index = 0;
    for (const FZeroValue& value : result->values) {
      lines.push_back(FormatLine(index * shiftMs, value.frequency, value.power, value.score));
      ++index;
    }
  }
  return WriteTextFile(fileName, lines);
}

std::string Engine::SaveFormants(const std::string& fileName) {
  std::list<std::string> lines;
  int index = 0;
  for (const FormantValue& value : formantTrack) {
    lines.push_back(FormatLine(index * kBlockMilliseconds, value.f1, value.f2, value.power));
    ++index;
  }
  return WriteTextFile(fileName, lines);
}

void Engine::LoadWave(const std::string& fileName, SoundMemoryStream& into) const {
  WaveFileStream file(fileName, kModeRead);
  // A file that could not be opened has no valid format either.
  if (!file.IsOpen() || file.GetFormat() != GetSoundFormat()) throw Error(kFormatError);

  // Room for the whole file at once instead of one reallocation per block; a header that claims more
  // than the file holds is not believed.
  std::error_code error;
  const uintmax_t fileBytes = std::filesystem::file_size(fileName, error);
  if (!error && fileBytes > kWaveHeaderBytes) {
    const uintmax_t framesInFile = (fileBytes - kWaveHeaderBytes) / into.GetFormat().GetBlockAlign();
    into.Reserve(static_cast<unsigned>(std::min<uintmax_t>(file.GetLength(), framesInFile)));
  }
  SoundConvertExecuter executer;
  executer.SetConverter(NullConvert());
  if (!executer.Run(file, into)) throw Error(kInternalError);
}

std::shared_ptr<const FZeroResult> Engine::LoadFZero(const std::string& fileName) const {
  const std::vector<LineFields> lines = ReadFieldLines(fileName);
  std::shared_ptr<FZeroResult> result;
  try {
    result = std::make_shared<FZeroResult>(settings->GetF0FrameShift() * 0.001, static_cast<unsigned>(lines.size()));
  } catch (const std::bad_alloc&) {
    throw Error(kNoMemory);
  }
  for (size_t i = 0; i < lines.size(); ++i) {
    result->values[i].frequency = static_cast<float>(lines[i].a);
    result->values[i].power = static_cast<float>(lines[i].b);
    result->values[i].score = static_cast<float>(lines[i].c);
  }
  return result;
}

std::vector<FormantValue> Engine::LoadFormants(const std::string& fileName) {
  const std::vector<LineFields> lines = ReadFieldLines(fileName);
  std::vector<FormantValue> formants;
  formants.reserve(lines.size());
  for (const LineFields& line : lines) formants.push_back(FormantValue{line.c, line.a, line.b});
  return formants;
}

}  // namespace vowelscope
