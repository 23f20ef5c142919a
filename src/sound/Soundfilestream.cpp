#include "sound/Soundfilestream.h"

namespace vowelscope {

SoundFileStream::SoundFileStream(const std::string& fileName, int mode) : fileName(fileName), mode(mode) {
  canRead = (mode & 1) != 0;
  canWrite = (mode & 2) != 0;
}

bool SoundFileStream::Seek(int offset, int origin) {
  return SeekWithin(offset, origin, position);
}

}  // namespace vowelscope
