#include "sound/Soundimport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "platform/Audiofilereader.h"
#include "platform/Resampler.h"

namespace vowelscope {

namespace {

constexpr int64_t kBlockFrames = 4096;
// Rates of real recordings; a header outside them is damage, and would make the resampler work for
// nothing (or refuse) at an absurd ratio.
constexpr int kMinSourceRate = 1000;
constexpr int kMaxSourceRate = 1000000;
// The most output samples one byte of the file can carry at the target rate (low-rate speech codecs
// come close to this); the stated length is trusted for the reservation only up to it, so a header
// that claims hours in a few bytes costs nothing.
constexpr double kMaxSamplesPerByte = 32.0;

// Rounds to 16 bits; values beyond the range stay at its ends (and are counted) instead of wrapping.
// `rounded` is the caller's work buffer, so a block costs no allocation. False when the stream could
// not grow.
bool AppendSamples(const std::vector<float>& mono, std::vector<int16_t>& rounded, SoundMemoryStream& out,
                   uint64_t& clipped) {
  rounded.resize(mono.size());
  for (size_t i = 0; i < mono.size(); ++i) {
    // Read integer samples come scaled by 1/32768, so 16-bit input comes back exactly.
    const double scaled = std::nearbyint(static_cast<double>(mono[i]) * 32768.0);
    if (scaled > 32767.0) {
      rounded[i] = 32767;
      ++clipped;
    } else if (scaled < -32768.0) {
      rounded[i] = -32768;
      ++clipped;
    } else if (std::isnan(scaled)) {
      rounded[i] = 0;
      ++clipped;
    } else {
      rounded[i] = static_cast<int16_t>(scaled);
    }
  }
  return rounded.empty() || out.Write(rounded.data(), static_cast<unsigned>(rounded.size()), nullptr);
}

SoundImportStatus FromOpenError(platform::AudioFileReader::OpenError error) {
  using E = platform::AudioFileReader::OpenError;
  switch (error) {
    case E::Missing: return SoundImportStatus::Missing;
    case E::NotRegular: return SoundImportStatus::NotRegular;
    case E::NoAccess: return SoundImportStatus::NoAccess;
    default: return SoundImportStatus::Unsupported;
  }
}

std::string ChannelName(int channels) {
  if (channels == 1) return "モノラル";
  if (channels == 2) return "ステレオ";
  return std::to_string(channels) + " チャンネル";
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The import itself; the caller empties the stream and the result when it fails.
SoundImportStatus ReadInto(const std::string& path, uint32_t targetRate, SoundImport& import, SoundMemoryStream& sound,
                           ProgressCallbackContainer* progress) {
  platform::AudioFileReader reader;
  platform::AudioFileReader::OpenError openError{};
  if (!reader.Open(path, &openError)) return FromOpenError(openError);
  if (reader.GetFrames() == 0) return SoundImportStatus::Empty;

  if (reader.GetSampleRate() < kMinSourceRate || reader.GetSampleRate() > kMaxSourceRate) {
    return SoundImportStatus::Unsupported;
  }
  const int channels = reader.GetChannels();
  const double ratio = static_cast<double>(targetRate) / reader.GetSampleRate();
  if (static_cast<double>(reader.GetFrames()) * ratio > static_cast<double>(kMaxImportSamples)) {
    return SoundImportStatus::TooLong;
  }
  const bool resample = static_cast<uint32_t>(reader.GetSampleRate()) != targetRate;
  std::unique_ptr<platform::Resampler> resampler;
  if (resample) {
    resampler = std::make_unique<platform::Resampler>(reader.GetSampleRate(), targetRate);
    if (!resampler->IsValid()) return SoundImportStatus::Unsupported;
  }

  import.sourceRate = reader.GetSampleRate();
  import.sourceChannels = channels;
  import.sourceBits = reader.GetBitsPerSample();
  import.targetRate = targetRate;
  std::error_code sizeError;
  const double fileBytes = static_cast<double>(std::filesystem::file_size(path, sizeError));
  const double expected = std::ceil(static_cast<double>(reader.GetFrames()) * ratio) + 16;
  // A reservation that fails is no failure yet: the stream grows as the samples come.
  sound.Reserve(static_cast<unsigned>(std::min(expected, sizeError ? 0.0 : fileBytes * kMaxSamplesPerByte)));

  ProgressCallbackParams report;
  report.maximum = static_cast<int32_t>(std::min<int64_t>(reader.GetFrames(), INT32_MAX));
  std::vector<float> interleaved(static_cast<size_t>(kBlockFrames * channels));
  std::vector<float> mono;
  std::vector<float> converted;
  std::vector<int16_t> rounded;
  for (;;) {
    const int64_t got = reader.Read(interleaved.data(), kBlockFrames);
    if (got < 0) return SoundImportStatus::Damaged;
    mono.resize(static_cast<size_t>(got));
    for (int64_t i = 0; i < got; ++i) {
      double sum = 0;
      for (int c = 0; c < channels; ++c) sum += interleaved[static_cast<size_t>(i * channels + c)];
      mono[static_cast<size_t>(i)] = static_cast<float>(sum / channels);
    }
    import.sourceFrames += got;
    converted.clear();
    if (resample) {
      const bool ok = got > 0 ? resampler->Process(mono.data(), mono.size(), converted) : resampler->Flush(converted);
      if (!ok) return SoundImportStatus::Damaged;
      if (!AppendSamples(converted, rounded, sound, import.clipped)) return SoundImportStatus::NoMemory;
    } else if (!AppendSamples(mono, rounded, sound, import.clipped)) {
      return SoundImportStatus::NoMemory;
    }
    if (sound.GetLength() > kMaxImportSamples) return SoundImportStatus::TooLong;
    if (progress != nullptr) {
      report.position = static_cast<int32_t>(std::min<int64_t>(import.sourceFrames, report.maximum));
      progress->Notify(report);
    }
    if (got == 0) break;
  }
  // A lossless file that ends before the length its header states was cut off (a copy that broke off);
  // what remains would be analysed as if it were the whole recording.
  if (import.sourceFrames < reader.GetFrames() && !reader.HasEstimatedLength()) return SoundImportStatus::Damaged;
  if (import.sourceFrames == 0) return SoundImportStatus::Empty;
  return SoundImportStatus::Ok;
}

}  // namespace

SoundImportStatus ImportSoundFile(const std::string& path, uint32_t targetRate, SoundImport& result,
                                  SoundMemoryStream& sound, ProgressCallbackContainer* progress) {
  result = SoundImport{};
  sound.Resize(0);
  const SoundImportStatus status = ReadInto(path, targetRate, result, sound, progress);
  if (status != SoundImportStatus::Ok) {
    result = SoundImport{};
    sound.Resize(0);
  }
  return status;
}

std::string DescribeSoundImport(const SoundImport& import) {
  char line[256];
  const bool same = static_cast<uint32_t>(import.sourceRate) == import.targetRate && import.sourceChannels == 1 &&
                    import.sourceBits == 16;
  if (same) {
    std::snprintf(line, sizeof(line), "%u Hz モノラルの音声を読み込みました", import.targetRate);
  } else {
    std::string bits = import.sourceBits != 0 && import.sourceBits != 16
                           ? " " + std::to_string(import.sourceBits) + " ビット"
                           : std::string();
    std::snprintf(line, sizeof(line), "%d Hz %s%s → %u Hz モノラルに変換しました", import.sourceRate,
                  ChannelName(import.sourceChannels).c_str(), bits.c_str(), import.targetRate);
  }
  std::string text = line;
  if (import.clipped > 0) {
    std::snprintf(line, sizeof(line), "（%llu サンプルが 16 ビットの範囲を超えたため切り詰めました）",
                  static_cast<unsigned long long>(import.clipped));
    text += line;
  }
  return text;
}

std::string SoundImportMessage(SoundImportStatus status, const std::string& path) {
  const char* text = "";
  switch (status) {
    case SoundImportStatus::Ok: return std::string();
    case SoundImportStatus::Missing: text = "音声ファイルが見つかりません。"; break;
    case SoundImportStatus::NotRegular: text = "通常のファイルではないため読み込めません。"; break;
    case SoundImportStatus::NoAccess: text = "音声ファイルを読み込む権限がありません。"; break;
    case SoundImportStatus::Unsupported: text = "この形式の音声ファイルは読み込めません。"; break;
    case SoundImportStatus::Damaged: text = "音声ファイルが壊れているか、途中で切れています。"; break;
    case SoundImportStatus::Empty: text = "音声ファイルに音声が入っていません。"; break;
    case SoundImportStatus::TooLong: text = "音声ファイルが長すぎるため読み込めません。"; break;
    case SoundImportStatus::NoMemory: text = "メモリが足りないため音声ファイルを読み込めません。"; break;
  }
  return std::string(text) + "\n" + BaseName(path);
}

}  // namespace vowelscope
