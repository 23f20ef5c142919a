// Feeds arbitrary bytes to the WAVE reader as a file: open for reading, read every frame in blocks,
// seek around, then open for reading and writing and change a few frames. Any crash, out-of-bounds
// access, hang or inconsistent count is a fault.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "Fuzzsupport.h"
#include "sound/Wavefilestream.h"

using namespace vowelscope;

namespace {

using fuzz::Check;

const std::string& ScratchPath() {
  static const fuzz::ScratchFile file("fuzz_wave", ".wav");
  return file.path;
}

// Reads up to the end; every read must succeed, stay within the block and the length, and end.
void ReadToEnd(WaveFileStream& s, std::vector<uint8_t>& buffer, unsigned block, size_t maxReads) {
  for (size_t i = 0;; ++i) {
    Check(i <= maxReads);
    int got = -1;
    Check(s.Read(buffer.data(), block, &got));
    Check(got >= 0 && static_cast<unsigned>(got) <= block);
    Check(s.Tell() <= s.GetLength());
    if (got == 0) return;
  }
}

void ReadOne(WaveFileStream& s, std::vector<uint8_t>& buffer) {
  int got = -1;
  Check(s.Read(buffer.data(), 1, &got));
  Check(got == 0 || got == 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = ScratchPath();
  if (!fuzz::WriteInput(path, data, size)) return 0;

  unsigned length = 0;
  {
    WaveFileStream s(path, SoundFileStream::ModeRead);
    if (!s.IsOpen()) {
      Check(s.GetLength() == 0);
      Check(!s.Read(nullptr, 0, nullptr));
      return 0;
    }
    length = s.GetLength();
    constexpr unsigned kBlock = 256;
    const uint64_t frameBytes = s.GetFormat().FramesToBytes(1);
    Check(frameBytes >= 1 && frameBytes <= 8191);  // what the reader accepts
    std::vector<uint8_t> buffer(s.GetFormat().FramesToBytes(kBlock));
    ReadToEnd(s, buffer, kBlock, size + 1);

    if (length != 0) {
      Check(s.Seek(0, kSeekBegin));
      ReadOne(s, buffer);
      Check(s.Seek(static_cast<int>(length / 2), kSeekBegin));
      ReadOne(s, buffer);
      Check(s.Seek(-1, kSeekEnd));
      ReadOne(s, buffer);
      Check(s.Seek(static_cast<int>(length > 7 ? length % 7 : 0), kSeekBegin));
      ReadToEnd(s, buffer, 3, size + 1);
    }
    const unsigned before = s.Tell();
    Check(!s.Seek(static_cast<int>(length), kSeekBegin) || length > 0x7FFFFFFF);
    Check(s.Tell() == before || length > 0x7FFFFFFF);
  }

  {
    // Change frames in place and add a few at the end of what is really there.
    WaveFileStream s(path, SoundFileStream::ModeReadWrite);
    if (s.IsOpen()) {
      std::vector<uint8_t> buffer(s.GetFormat().FramesToBytes(8), 0x5A);
      if (s.GetLength() != 0) {
        Check(s.Seek(static_cast<int>(std::min(s.GetLength() - 1, 10u)), 0));
        int put = -1;
        s.Write(buffer.data(), 4, &put);
        Check(put <= 4);
        Check(s.Seek(0, kSeekBegin));
        ReadOne(s, buffer);
      } else {
        s.Write(buffer.data(), 8, nullptr);
      }
    }
  }
  {
    WaveFileStream s(path, SoundFileStream::ModeRead);
    if (s.IsOpen()) {
      std::vector<uint8_t> buffer(s.GetFormat().FramesToBytes(256));
      ReadToEnd(s, buffer, 256, size + 64);
    }
  }
  return 0;
}
