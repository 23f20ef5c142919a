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
  // Longest file name accepted; a longer one is refused, never cut to another name.
  static constexpr size_t kMaxFileName = 260;

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
