#include "platform/Rifffile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Filesystem.h"

namespace vowelscope {

namespace {

constexpr size_t kBufferSize = 64 * 1024;
constexpr uint32_t kRiffId = MakeFourCC('R', 'I', 'F', 'F');
constexpr uint32_t kListId = MakeFourCC('L', 'I', 'S', 'T');

uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// An interrupted system call is retried; anything else is the caller's failure.
int LockFile(int fd, int operation) {
  int rc;
  do {
    rc = flock(fd, operation | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  return rc;
}

}  // namespace

RiffFile::~RiffFile() { Close(); }

bool RiffFile::Open(const std::string& path, Mode mode) {
  Close();
  // open() would stop at the NUL and silently use another name.
  if (path.empty() || path.find('\0') != std::string::npos) return false;

  int flags = 0;
  int lock = LOCK_EX;
  const char* fileMode = "r+b";
  switch (mode) {
    case Mode::Read:
      flags |= O_RDONLY;
      lock = LOCK_SH;
      fileMode = "rb";
      break;
    case Mode::Create: flags |= O_RDWR | O_CREAT; break;
    case Mode::ReadWrite: flags |= O_RDWR; break;
  }
  // A fifo or a device given as a sound file must be refused, not waited on.
  const int fd = platform::OpenRegularFile(path, flags);
  if (fd < 0) return false;

  // A file system without advisory locks still opens; a file held by someone else does not.
  if (LockFile(fd, lock) != 0 && errno == EWOULDBLOCK) {
    ::close(fd);
    return false;
  }
  // Truncate only once the lock is ours, so a file in use is never emptied under its owner.
  if (mode == Mode::Create && ::ftruncate(fd, 0) != 0) {
    ::close(fd);
    return false;
  }
  std::FILE* f = ::fdopen(fd, fileMode);
  if (f == nullptr) {
    ::close(fd);
    return false;
  }
  buffer = std::make_unique<char[]>(kBufferSize);
  std::setvbuf(f, buffer.get(), _IOFBF, kBufferSize);
  file = f;
  last = LastOp::None;
  return true;
}

bool RiffFile::Close() {
  if (file == nullptr) return true;
  bool ok = std::fflush(file) == 0;
  ok = std::fclose(file) == 0 && ok;  // also releases the lock
  file = nullptr;
  buffer.reset();
  last = LastOp::None;
  return ok;
}

bool RiffFile::Flush() {
  if (file == nullptr) return false;
  return std::fflush(file) == 0;
}

bool RiffFile::SwitchTo(LastOp op) {
  if (last != LastOp::None && last != op) {
    if (::fseeko(file, 0, SEEK_CUR) != 0) return false;
  }
  last = op;
  return true;
}

int64_t RiffFile::Read(void* out, uint64_t bytes) {
  if (file == nullptr || !SwitchTo(LastOp::Read)) return -1;
  if (bytes == 0) return 0;
  size_t got = std::fread(out, 1, static_cast<size_t>(bytes), file);
  if (got < bytes && std::ferror(file)) {
    std::clearerr(file);
    return -1;
  }
  return static_cast<int64_t>(got);
}

int64_t RiffFile::Write(const void* in, uint64_t bytes) {
  if (file == nullptr || !SwitchTo(LastOp::Write)) return -1;
  if (bytes == 0) return 0;
  size_t put = std::fwrite(in, 1, static_cast<size_t>(bytes), file);
  if (put == 0 && std::ferror(file)) {
    std::clearerr(file);
    return -1;
  }
  return static_cast<int64_t>(put);
}

int64_t RiffFile::Seek(int64_t offset, int origin) {
  if (file == nullptr) return -1;
  if (origin != SEEK_SET && origin != SEEK_CUR && origin != SEEK_END) return -1;
  const int64_t current = Tell();
  if (current < 0) return -1;
  int64_t base = 0;
  if (origin == SEEK_CUR) {
    base = current;
  } else if (origin == SEEK_END) {
    if (::fseeko(file, 0, SEEK_END) != 0) return -1;
    base = Tell();
    last = LastOp::None;
  }
  const int64_t target = base + offset;
  if (base < 0 || target < 0) {
    if (origin == SEEK_END) ::fseeko(file, static_cast<off_t>(current), SEEK_SET);  // a refused seek does not move
    return -1;
  }
  if (::fseeko(file, static_cast<off_t>(target), SEEK_SET) != 0) return -1;
  last = LastOp::None;  // a seek allows either direction next
  return target;
}

int64_t RiffFile::Tell() {
  if (file == nullptr) return -1;
  return static_cast<int64_t>(::ftello(file));
}

bool RiffFile::Descend(RiffChunk& chunk, const RiffChunk* parent, Find find) {
  if (file == nullptr) return false;
  const int64_t end = parent != nullptr ? parent->dataOffset + parent->size : INT64_MAX;
  const uint32_t wantedId = find == Find::Chunk ? chunk.id : find == Find::Riff ? kRiffId : kListId;
  int64_t pos = Tell();
  // Every step moves forward by at least one header, and reads stop at the end of the file.
  while (pos >= 0 && pos + 8 <= end) {
    uint8_t header[8];
    if (Read(header, 8) != 8) return false;
    const uint32_t id = Get32(header);
    const uint32_t size = Get32(header + 4);
    if (id == wantedId) {
      if (find == Find::Chunk) {
        chunk.size = size;
        chunk.dataOffset = pos + 8;
        chunk.dirty = false;
        return true;
      }
      uint8_t form[4];
      if (size >= 4 && Read(form, 4) == 4 && Get32(form) == chunk.formType) {
        chunk.id = id;
        chunk.size = size;
        chunk.dataOffset = pos + 8;
        chunk.dirty = false;
        return true;
      }
    }
    const int64_t next = pos + 8 + size + (size & 1);
    if (Seek(next, SEEK_SET) != next) return false;
    pos = next;
  }
  return false;
}

bool RiffFile::CreateChunk(RiffChunk& chunk, Find kind) {
  if (file == nullptr) return false;
  const int64_t pos = Tell();
  if (pos < 0) return false;
  uint8_t header[12];
  unsigned headerSize = 8;
  if (kind != Find::Chunk) chunk.id = kind == Find::Riff ? kRiffId : kListId;
  Put32(header, chunk.id);
  Put32(header + 4, chunk.size);
  if (kind != Find::Chunk) {
    Put32(header + 8, chunk.formType);
    headerSize = 12;
  }
  if (Write(header, headerSize) != headerSize) return false;
  chunk.dataOffset = pos + 8;
  chunk.dirty = true;
  return true;
}

bool RiffFile::Ascend(RiffChunk& chunk) {
  if (file == nullptr) return false;
  if (chunk.dirty) {
    const int64_t pos = Tell();
    const int64_t size = pos - chunk.dataOffset;
    if (pos < 0 || size < 0 || size > kMaxChunkSize || chunk.dataOffset < 8) return false;
    if (size & 1) {
      const uint8_t pad = 0;
      if (Write(&pad, 1) != 1) return false;
    }
    uint8_t field[4];
    Put32(field, static_cast<uint32_t>(size));
    if (Seek(chunk.dataOffset - 4, SEEK_SET) < 0 || Write(field, 4) != 4) return false;
    chunk.size = static_cast<uint32_t>(size);
    chunk.dirty = false;
  }
  const int64_t next = chunk.dataOffset + chunk.size + (chunk.size & 1);
  return Seek(next, SEEK_SET) == next;
}

}  // namespace vowelscope
