#pragma once
// Sound stream over a RIFF WAVE file: the only way sound reaches or leaves disk.
//
// Files written here are laid out as "RIFF" <size> "WAVE", an 18-byte "fmt " chunk, and one "data"
// chunk that runs to the end of the file (with a pad byte when its size is odd). Files read may hold
// other chunks, which are stepped over, but "fmt " must come before "data", and the first 16 bytes of
// "fmt " must be there. The sizes in the header are right only after the stream is destroyed: until
// then a file being written declares no frames.
//
// A file that cannot be opened or parsed leaves a stream whose IsOpen is false; its format is the
// default one (or the one given for writing) and its length 0.

#include <memory>
#include <string>

#include "platform/Rifffile.h"
#include "sound/Soundfilestream.h"

namespace vowelscope {

class WaveFileStream : public SoundFileStream {
 public:
  // For reading an existing file; the format comes from the file.
  WaveFileStream(const std::string& fileName, int mode);
  // For writing: the format is used for a new file; an existing file opened with mode 3 keeps its own.
  WaveFileStream(const std::string& fileName, const SoundFormat& format, int mode);
  ~WaveFileStream() override;

  // A data chunk that is shorter than its header says gives short reads, then 0 frames with success.
  bool Read(void* buffer, unsigned frames, int* framesRead) override;
  bool Write(const void* buffer, unsigned frames, int* framesWritten) override;
  bool Seek(int offset, int origin) override;
  unsigned Tell() override { return position; }
  bool IsOpen() override { return handle != nullptr; }
  // Writes the sizes into the header and closes the file, as the destructor does, but says whether
  // everything reached the file; a writer that must know its file is complete calls this.
  bool Close();

 private:
  bool Open();
  bool ParseHeader();
  bool WriteHeader();
  // Positions the file at the first frame of the data chunk.
  bool EnterData();
  // Closes the data chunk and the RIFF form, rewriting their sizes when frames were added.
  bool LeaveData();
  // After a Seek: re-enters the data chunk and moves to the byte of `position`.
  bool ApplySeek();

  std::unique_ptr<RiffFile> handle;
  bool seekPending = false;
  bool inData = false;
  RiffChunk riffChunk;
  RiffChunk dataChunk;
};

}  // namespace vowelscope
