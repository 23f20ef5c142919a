#pragma once
// Brings any audio file the platform reader opens into the recording format: the channels are mixed to
// mono, the rate is converted to the target rate, and the samples are rounded to 16 bits, with values
// beyond the 16-bit range held at its ends and counted rather than wrapped. The file is read and
// converted block by block straight into the sound stream that is to hold it, so only that stream
// grows with the length of the file.

#include <cstdint>
#include <string>

#include "base/Callback.h"
#include "sound/Soundmemorystream.h"

namespace vowelscope {

// What the user is told about a file that could not be brought in; Ok when it was.
enum class SoundImportStatus { Ok, Missing, NotRegular, NoAccess, Unsupported, Damaged, Empty, TooLong, NoMemory };

// What was read and how it was converted; the samples themselves go into a stream.
struct SoundImport {
  int sourceRate = 0;
  int sourceChannels = 0;
  int sourceBits = 0;            // 8, 16, 24 or 32 for integer PCM, 0 for anything else
  int64_t sourceFrames = 0;      // frames actually read
  uint32_t targetRate = 0;
  uint64_t clipped = 0;          // output samples held at the ends of the 16-bit range
};

// The longest result, in samples: a sound stream counts its frames in 31 bits.
constexpr uint64_t kMaxImportSamples = 0x7FFFFFFFu;

// Reads and converts `path` into `sound`, an owning stream of 16-bit mono samples at targetRate, whose
// samples it replaces (left at the end of them). On failure `sound` is emptied and `result` reset.
// Progress, when given, goes out in source frames (maximum the length the file states) on the
// calling thread.
SoundImportStatus ImportSoundFile(const std::string& path, uint32_t targetRate, SoundImport& result,
                                  SoundMemoryStream& sound, ProgressCallbackContainer* progress = nullptr);

// The status bar's line about what was converted, e.g. "44100 Hz ステレオ → 11025 Hz モノラルに変換しました".
std::string DescribeSoundImport(const SoundImport& import);

// The user's message for a failed import, naming the file.
std::string SoundImportMessage(SoundImportStatus status, const std::string& path);

}  // namespace vowelscope
