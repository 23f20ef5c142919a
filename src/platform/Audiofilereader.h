#pragma once
// Reads any common audio file (WAV of every width, float and extensible, FLAC, OGG/Vorbis, Opus, AIFF,
// MP3 where the installed decoder library has it) as interleaved float frames in [-1, 1]. The session's
// own WAVE files go through the program's WAVE stream instead; this is the way in for everything else.

#include <cstdint>
#include <memory>
#include <string>

namespace vowelscope::platform {

class AudioFileReader {
 public:
  // Why Open failed, as far as the user can act on it.
  enum class OpenError { None, Missing, NotRegular, NoAccess, Unsupported };

  AudioFileReader();
  ~AudioFileReader();
  AudioFileReader(const AudioFileReader&) = delete;
  AudioFileReader& operator=(const AudioFileReader&) = delete;

  // Opens a regular file for reading; what is not one (a fifo, a device, a folder) is refused before
  // anything reads from it, so nothing blocks. Closes a file opened before. False with the cause in
  // `error` when given.
  bool Open(const std::string& path, OpenError* error = nullptr);
  void Close();
  bool IsOpen() const;

  int GetSampleRate() const { return sampleRate; }
  int GetChannels() const { return channels; }
  // The length the file's header states, in frames; a damaged file may yield fewer.
  int64_t GetFrames() const { return frames; }
  // 8, 16, 24 or 32 for integer PCM; 0 for float and compressed encodings.
  int GetBitsPerSample() const;
  // True where the stated length is the decoder's estimate (MP3, OGG) rather than a count the file
  // stores, so a shorter stream is not a sign of damage.
  bool HasEstimatedLength() const;
  // A short name of the container and encoding, for messages ("WAV 24-bit", "FLAC", ...).
  std::string GetFormatName() const;

  // Reads up to `count` frames of GetChannels() interleaved floats. The frames read (0 at the end),
  // or -1 when the file is damaged or could not be read.
  int64_t Read(float* buffer, int64_t count);

 private:
  struct Handle;
  std::unique_ptr<Handle> handle;
  int sampleRate = 0;
  int channels = 0;
  int64_t frames = 0;
  int format = 0;
};

}  // namespace vowelscope::platform
