#include "sound/Soundfilestream.h"

namespace vowelscope {

SoundFileStream::SoundFileStream(const std::string& fileName, int mode) : fileName(fileName), mode(mode) {
  canRead = (mode & 1) != 0;
  canWrite = (mode & 2) != 0;
}

bool SoundFileStream::Seek(int offset, int origin) {
  int64_t target;
  switch (origin) {
    case 0: target = offset; break;
    case 1: target = static_cast<int64_t>(position) + offset; break;
    case 2: target = static_cast<int64_t>(length) + offset; break;
    default: return false;
  }
  if (target < 0 || target >= static_cast<int64_t>(length)) return false;
  position = static_cast<uint32_t>(target);
  return true;
}

}  // namespace vowelscope
