#pragma once
// The part of a sound file stream that does not depend on the container: file name, open mode,
// frame position and seeking.

#include <cstddef>
#include <cstdint>
#include <string>

#include "sound/Soundstream.h"

namespace vowelscope {

class SoundFileStream : public SoundStream {
 public:
  enum OpenMode : int {
    ModeRead = 1,       // an existing file
    ModeCreate = 2,     // a new file; an existing one is truncated
    ModeReadWrite = 3,  // an existing file, or a new one when it does not exist
  };
  // Longest path of a file the user names; the Engine holds the session's names to it.
  static constexpr size_t kMaxFileName = 260;
  // Longest path a stream opens (the system's own limit, less the terminator): the temporary files
  // beside a user's file are a few bytes longer than its name. A longer one is refused, never cut.
  static constexpr size_t kMaxPathBytes = 4095;

  ~SoundFileStream() override = default;

  // The target must lie in 0 .. length - 1. The file itself moves on the next Read or Write.
  bool Seek(int offset, int origin) override;
  unsigned Tell() override { return position; }
  virtual bool IsOpen() = 0;

  const std::string& GetFileName() const { return fileName; }
  int GetMode() const { return mode; }

 protected:
  SoundFileStream(const std::string& fileName, int mode);

  std::string fileName;
  int mode;
  uint32_t position = 0;
};

}  // namespace vowelscope
