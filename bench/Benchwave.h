#pragma once
// A plain 16-bit mono 11025 Hz WAVE file for the benches that hand a sound to another program (our
// batch command, the peer's pitch): written byte by byte, so a bench needs no library for it.

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace vowelscope::bench {

inline void WriteWave(const std::string& path, const std::vector<int16_t>& samples) {
  std::ofstream out(path, std::ios::binary);
  auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
  const uint32_t bytes = static_cast<uint32_t>(samples.size() * 2);
  out.write("RIFF", 4);
  u32(36 + bytes);
  out.write("WAVEfmt ", 8);
  u32(16);
  u16(1);
  u16(1);
  u32(11025);
  u32(22050);
  u16(2);
  u16(16);
  out.write("data", 4);
  u32(bytes);
  out.write(reinterpret_cast<const char*>(samples.data()), bytes);
}

}  // namespace vowelscope::bench
