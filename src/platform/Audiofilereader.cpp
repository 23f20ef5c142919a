#include "platform/Audiofilereader.h"

#include <sndfile.h>

#include <fcntl.h>
#include <unistd.h>

#include "platform/Filesystem.h"

namespace vowelscope::platform {

struct AudioFileReader::Handle {
  SNDFILE* file = nullptr;
  ~Handle() {
    if (file != nullptr) sf_close(file);
  }
};

AudioFileReader::AudioFileReader() = default;

AudioFileReader::~AudioFileReader() = default;

bool AudioFileReader::Open(const std::string& path, OpenError* error) {
  Close();
  auto fail = [&](OpenError cause) {
    if (error != nullptr) *error = cause;
    return false;
  };
  FileError fileError = FileError::None;
  // A fifo or a device would block the decoder, or never end: only regular files are opened.
  const int fd = OpenRegularFile(path, O_RDONLY, &fileError);
  if (fd < 0) {
    switch (fileError) {
      case FileError::Missing: return fail(OpenError::Missing);
      case FileError::Directory:
      case FileError::NotRegular: return fail(OpenError::NotRegular);
      case FileError::NoAccess: return fail(OpenError::NoAccess);
      default: return fail(OpenError::Unsupported);
    }
  }
  SF_INFO info{};
  SNDFILE* file = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);  // owns fd from here, also on failure
  if (file == nullptr) return fail(OpenError::Unsupported);
  if (info.samplerate <= 0 || info.channels <= 0 || info.frames < 0) {
    sf_close(file);
    return fail(OpenError::Unsupported);
  }
  // Integer samples read as float are scaled to [-1, 1]; float files keep their values, and
  // out-of-range ones are left for the caller to count as clipped.
  sf_command(file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
  handle = std::make_unique<Handle>();
  handle->file = file;
  sampleRate = info.samplerate;
  channels = info.channels;
  frames = info.frames;
  format = info.format;
  if (error != nullptr) *error = OpenError::None;
  return true;
}

void AudioFileReader::Close() {
  handle.reset();
  sampleRate = 0;
  channels = 0;
  frames = 0;
  format = 0;
}

bool AudioFileReader::IsOpen() const { return handle != nullptr; }

int AudioFileReader::GetBitsPerSample() const {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8: return 8;
    case SF_FORMAT_PCM_16: return 16;
    case SF_FORMAT_PCM_24: return 24;
    case SF_FORMAT_PCM_32: return 32;
    default: return 0;
  }
}

bool AudioFileReader::HasEstimatedLength() const {
  const int container = format & SF_FORMAT_TYPEMASK;
  return container == SF_FORMAT_MPEG || container == SF_FORMAT_OGG;
}

std::string AudioFileReader::GetFormatName() const {
  if (!IsOpen()) return std::string();
  SF_FORMAT_INFO info{};
  info.format = format & SF_FORMAT_TYPEMASK;
  std::string name;
  if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof(info)) == 0 && info.name != nullptr) name = info.name;
  SF_FORMAT_INFO sub{};
  sub.format = format & SF_FORMAT_SUBMASK;
  if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &sub, sizeof(sub)) == 0 && sub.name != nullptr) {
    name += name.empty() ? "" : ", ";
    name += sub.name;
  }
  return name;
}

int64_t AudioFileReader::Read(float* buffer, int64_t count) {
  if (!IsOpen() || count < 0) return -1;
  if (count == 0) return 0;
  const sf_count_t got = sf_readf_float(handle->file, buffer, count);
  // A short read is the end of the data or a fault; the decoder's error state tells which.
  if (got < count && sf_error(handle->file) != SF_ERR_NO_ERROR) return -1;
  return got;
}

}  // namespace vowelscope::platform
