#pragma once
// Buffered access to RIFF files: plain reads, writes and seeks, plus the chunk operations a RIFF
// reader and writer need: find a chunk (descend into it), create one, and close one (ascend out of
// it), which rewrites the size field of a chunk created or changed here and adds the pad byte that
// keeps chunks on even offsets.
//
// Layout of a chunk: a four-character id, a little-endian 32-bit payload size, then the payload and
// one pad byte when the size is odd. "RIFF" and "LIST" chunks start their payload with a form type,
// which the size counts. A RIFF file is at most 4 GiB long, so every offset here fits in 32 bits,
// but offsets are carried as 64-bit values so that a bad size field cannot wrap them.
//
// Opening takes an advisory lock: shared for reading, exclusive for writing, so that two writers, or
// a reader and a writer, never have the same file open at once.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace vowelscope {

// A four-character code as it is stored in a file, first character in the lowest byte.
constexpr uint32_t MakeFourCC(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<uint8_t>(a)) | (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8) |
         (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24);
}

struct RiffChunk {
  uint32_t id = 0;
  uint32_t size = 0;       // payload bytes, without the pad byte; counts the form type of RIFF and LIST
  uint32_t formType = 0;   // RIFF and LIST only
  int64_t dataOffset = 0;  // file offset of the payload (of the form type, for RIFF and LIST)
  bool dirty = false;      // the size field is rewritten by Ascend
};

class RiffFile {
 public:
  enum class Mode {
    Read,       // an existing file, read only
    Create,     // a new or truncated file, read and write
    ReadWrite,  // an existing file, read and write
  };
  enum class Find {
    Chunk,  // a chunk with the given id
    Riff,   // a "RIFF" chunk with the given form type
    List,   // a "LIST" chunk with the given form type
  };

  // Longest payload a chunk can declare; also the largest offset a RIFF file can use.
  static constexpr int64_t kMaxChunkSize = 0xFFFFFFFFll;

  RiffFile() = default;
  ~RiffFile();
  RiffFile(const RiffFile&) = delete;
  RiffFile& operator=(const RiffFile&) = delete;

  // Fails for a missing file (Read, ReadWrite), a path with a NUL byte, or a file another RiffFile
  // holds in a conflicting way. An open RiffFile is closed first.
  bool Open(const std::string& path, Mode mode);
  bool IsOpen() const { return file != nullptr; }
  // Writes what is buffered and closes; false when that write or the close failed.
  bool Close();
  // Writes what is buffered to the file.
  bool Flush();

  // Bytes read, fewer at the end of the file; -1 on an error or when not open.
  int64_t Read(void* buffer, uint64_t bytes);
  // Bytes written (fewer only when the device fails part way); -1 on an error or when not open.
  int64_t Write(const void* buffer, uint64_t bytes);
  // origin: SEEK_SET, SEEK_CUR or SEEK_END. Positions past the end are allowed (reads there give
  // nothing; writes there fill the gap with zeros). Returns the new position, -1 when it would be
  // negative or the seek failed.
  int64_t Seek(int64_t offset, int origin);
  int64_t Tell();

  // Looks for the chunk from the current position on, stepping over other chunks by their size
  // rounded up to even, and stops at the end of parent's payload when parent is given. The id
  // (Find::Chunk) or form type (Find::Riff, Find::List) to look for is taken from chunk; on success
  // chunk is filled in and the file is positioned at the payload (after the form type).
  bool Descend(RiffChunk& chunk, const RiffChunk* parent, Find find);
  // Writes a chunk header at the current position: chunk.id (or "RIFF"/"LIST" and chunk.formType)
  // with chunk.size. The chunk becomes dirty, so Ascend writes its real size.
  bool CreateChunk(RiffChunk& chunk, Find kind);
  // Leaves the chunk: when dirty, its size becomes (current position - dataOffset), a zero pad byte
  // is written at the current position when that is odd, and the size field is rewritten. Then the
  // file is positioned after the chunk and its pad byte.
  bool Ascend(RiffChunk& chunk);

 private:
  enum class LastOp { None, Read, Write };
  // The C library needs a seek between a write and a following read, and the other way round.
  bool SwitchTo(LastOp op);

  std::FILE* file = nullptr;
  std::unique_ptr<char[]> buffer;
  LastOp last = LastOp::None;
};

}  // namespace vowelscope
