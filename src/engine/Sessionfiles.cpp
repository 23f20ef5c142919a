// The three files of a saved session: <base>.wav (the sound), <base>.f0 (the F0 track) and <base>.fr
// (the formant track), the latter two tab-separated text of "time<TAB>a<TAB>b<TAB>c" lines:
//   .f0: time in ms of frame i (i hops of the frame shift in samples), frequency, power, score
//   .fr: time in ms of block i (i * 275 samples), f1, f2, power
// The times are the true times of the frames in the sound, rounded to whole milliseconds, so that the
// columns line up with the sound however long it is; a reader takes the values by position.
// The three files are written beside their targets under temporary names and renamed into place only
// once all three are complete, so a failed save leaves the session saved before whole: never a new
// sound beside the old analyses.

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <optional>
#include <filesystem>
#include <iterator>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "config/Settings.h"
#include "engine/Engine.h"
#include "base/Error.h"
#include "base/Fileutilities.h"
#include "engine/Sessiontext.h"
#include "base/Stringutilities.h"
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

const char* const kPathTooLong = "パスが長すぎます。";

constexpr uint64_t kWaveHeaderBytes = 46;  // RIFF, fmt with its 18-byte record, data chunk header

// The longest recording the settings allow (120 minutes): a track may always be as long as that.
constexpr uint64_t kLongestRecordingSamples = 120ull * 60 * Engine::kSampleRate;
// Lines beyond what the sound can hold that are still taken (a track cut a frame late).
constexpr uint64_t kTrackSlack = 16;
constexpr int kShortestFrameShiftMs = 1;
// A line of a track as a voice gives it ("123450\t215.372\t62.118\t0.934\r\n"), for the text's reservation.
constexpr size_t kTypicalLineBytes = 32;

// The most frames of `hop` samples that a sound of `samples` (or the longest recording) can hold.
uint64_t MostFrames(uint64_t samples, uint64_t hop) {
  const uint64_t longest = std::max(samples, kLongestRecordingSamples);
  return (longest + hop - 1) / hop + kTrackSlack;
}

// The message for a file of the session that could not be made or replaced.
const char* SaveFailure(platform::FileError error) {
  return error == platform::FileError::NameTooLong ? kPathTooLong : kSaveFailed;
}

// Streams one .f0 or .fr file through onLine; throws the user's message when it cannot be read or
// does not hold a track of at most maxLines.
void ReadTrackFile(const std::string& fileName, uint64_t maxLines,
                   const std::function<void(std::optional<double>, double, double, double)>& onLine) {
  switch (ReadSessionText(fileName, maxLines, onLine)) {
    case SessionTextResult::Read: return;
    case SessionTextResult::CannotOpen: throw Error(kReadFailed);
    case SessionTextResult::FormatError: throw Error(kFormatError);
  }
}

// A new, empty file beside target with a name of its own; throws the message of the cause (no room,
// no access, the folder gone, a name too long) when none can be made.
std::string CreateTemporaryBeside(const std::string& target) {
  std::string temporary;
  platform::FileError error = platform::FileError::None;
  std::FILE* created = platform::CreateFileBeside(target, temporary, &error);
  if (created == nullptr) throw Error(SaveFailure(error));
  std::fclose(created);
  return temporary;
}

// Writes the text under a temporary name beside fileName and returns that name. One write and one
// flush for the whole file: a flush per line made saving a long take a system call per line.
std::string WriteTextFile(const std::string& fileName, const std::string& text) {
  const std::string temporary = CreateTemporaryBeside(fileName);
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  bool written = file != nullptr && std::fwrite(text.data(), 1, text.size(), file) == text.size() &&
                 std::fflush(file) == 0 && platform::SyncFile(file);
  // A failing close may be the first report of a write that did not reach the disk.
  if (file != nullptr) written = std::fclose(file) == 0 && written;
  if (!written) {
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
  WaveFileStream check(fileName, SoundFileStream::ModeRead);
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
  const std::array<std::string, 3> targets = SessionFileNames(path);
  for (const std::string& target : targets) {
    if (target.size() > SoundFileStream::kMaxFileName) throw Error(kPathTooLong);
  }
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
      throw Error(kSaveFailed);
    }
  }
  for (size_t i = 0; i < 3; ++i) {
    if (std::rename(temporaries[i].c_str(), targets[i].c_str()) != 0) {
      const platform::FileError error = platform::FileErrorFromErrno(errno);
      removeFrom(i);
      throw Error(SaveFailure(error));
    }
  }
}

void Engine::LoadFiles(const std::string& path) {
  if (IsRecording() || IsAnalysing()) throw Error(kInternalError);
  // Nothing is replaced until every file has been read: a session whose .f0 or .fr turns out bad must
  // not leave one recording's sound with another's analyses, which the next save would store as one.
  const std::array<std::string, 3> names = SessionFileNames(path);
  for (const std::string& name : names) {
    if (name.size() > SoundFileStream::kMaxFileName) throw Error(kPathTooLong);
  }
  SoundMemoryStream loaded(GetSoundFormat());
  LoadWave(names[0], loaded);
  std::shared_ptr<const FZeroResult> result = LoadFZero(names[1], loaded.GetLength());
  std::vector<FormantValue> formants = LoadFormants(names[2], loaded.GetLength());

  sound.Swap(loaded);
  sound.Seek(0, kSeekBegin);
  std::atomic_store(&fzeroResult, std::move(result));
  formantList = std::move(formants);
  formantTrack = formantList;
}

std::string Engine::SaveWave(const std::string& fileName) {
  const std::string temporary = CreateTemporaryBeside(fileName);

  const SoundFormat format = GetSoundFormat();
  bool copied = false;
  {
    WaveFileStream file(temporary, format, SoundFileStream::ModeCreate);
    SoundConvertExecuter executer;
    executer.SetConverter(NullConvert());
    sound.Seek(0, kSeekBegin);
    copied = file.IsOpen() && executer.Run(sound, file);
    // Closing writes the header sizes; it fails when the last bytes did not reach the file.
    copied = file.Close() && copied;
  }
  // Read back before it may take the place of an earlier session.
  const bool complete = copied && WaveFileIsComplete(temporary, format, sound.GetLength()) && SyncToDisk(temporary);
  // The sound lives in memory and the file was made, so what stopped the copy is the storage: no
  // room, or a folder that went away or became read-only meanwhile.
  if (!complete) {
    std::remove(temporary.c_str());
    throw Error(kSaveFailed);
  }
  return temporary;
}

std::string Engine::SaveFZero(const std::string& fileName) {
  std::string text;
  // Without a result yet the file is empty, so that every saved session can be opened again.
  if (const std::shared_ptr<const FZeroResult> result = GetFZeroResult()) {
    const uint64_t hop = GetFZeroHop(result->frameShift);
    text.reserve(result->values.size() * kTypicalLineBytes);
    uint64_t index = 0;
    for (const FZeroValue& value : result->values) {
      AppendSessionLine(text, FrameTimeMs(index, hop, kSampleRate), value.frequency, value.power, value.score);
      ++index;
    }
  }
  return WriteTextFile(fileName, text);
}

std::string Engine::SaveFormants(const std::string& fileName) {
  std::string text;
  text.reserve(formantTrack.size() * kTypicalLineBytes);
  uint64_t index = 0;
  for (const FormantValue& value : formantTrack) {
    AppendSessionLine(text, FrameTimeMs(index, frameLength, kSampleRate), value.f1, value.f2, value.power);
    ++index;
  }
  return WriteTextFile(fileName, text);
}

void Engine::LoadWave(const std::string& fileName, SoundMemoryStream& into) const {
  WaveFileStream file(fileName, SoundFileStream::ModeRead);
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

std::shared_ptr<const FZeroResult> Engine::LoadFZero(const std::string& fileName, uint32_t soundLength) const {
  // Values gather in blocks and are copied once into an array of the exact size, so a long track
  // takes about twice its final size at the peak, never the growth steps of one array.
  std::deque<FZeroValue> values;
  FrameShiftFinder finder(kSampleRate, [](int shiftMs) -> uint64_t { return GetFZeroHop(shiftMs * 0.001); });
  const uint64_t maxLines = MostFrames(soundLength, GetFZeroHop(kShortestFrameShiftMs * 0.001));
  std::shared_ptr<FZeroResult> result;
  try {
    ReadTrackFile(fileName, maxLines, [&](std::optional<double> time, double frequency, double power, double score) {
      finder.Add(time);
      values.push_back(FZeroValue{static_cast<float>(frequency), static_cast<float>(score), static_cast<float>(power)});
    });
    // The shift the file was written with; a file whose times fit none takes the setting, as always.
    const int shiftMs = finder.Result().value_or(
        std::clamp(settings->GetF0FrameShift(), kShortestFrameShiftMs, FrameShiftFinder::kMaxShiftMs));
    result = std::make_shared<FZeroResult>(shiftMs * 0.001, 0u);
    result->values.assign(values.begin(), values.end());
  } catch (const std::bad_alloc&) {
    throw Error(kNoMemory);
  }
  return result;
}

std::vector<FormantValue> Engine::LoadFormants(const std::string& fileName, uint32_t soundLength) const {
  std::deque<FormantValue> values;
  try {
    ReadTrackFile(fileName, MostFrames(soundLength, frameLength), [&](std::optional<double>, double f1, double f2, double power) {
      values.push_back(FormantValue{power, f1, f2});
    });
    return std::vector<FormantValue>(values.begin(), values.end());
  } catch (const std::bad_alloc&) {
    throw Error(kNoMemory);
  }
}

}  // namespace vowelscope
