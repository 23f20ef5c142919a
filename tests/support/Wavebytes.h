#pragma once
// Builders for the WAVE files the tests read: every fixture is made here, byte by byte, so a test shows
// exactly which field is odd.

#include <cstdint>
#include <optional>
#include <string>

namespace vowelscope::testsupport {

inline std::string Le16(uint16_t v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }

inline std::string Le32(uint32_t v) { return Le16(static_cast<uint16_t>(v)) + Le16(static_cast<uint16_t>(v >> 16)); }

// id, size (the payload's unless given), payload, and the pad byte after an odd payload unless told not to.
inline std::string Chunk(const std::string& id, const std::string& payload, std::optional<uint32_t> size = {},
                         bool pad = true) {
  std::string out = id + Le32(size ? *size : static_cast<uint32_t>(payload.size())) + payload;
  if (pad && (payload.size() & 1)) out.push_back('\0');
  return out;
}

inline std::string Riff(const std::string& body, std::optional<uint32_t> size = {}) {
  return "RIFF" + Le32(size ? *size : static_cast<uint32_t>(body.size() + 4)) + "WAVE" + body;
}

struct FmtFields {
  uint16_t tag = 1;
  uint16_t channels = 1;
  uint32_t rate = 11025;
  uint16_t bits = 16;
  std::optional<uint16_t> blockAlign = std::nullopt;  // derived unless given
  unsigned size = 18;                  // 16, 18, 40 or anything shorter
};

inline std::string FmtPayload(const FmtFields& f) {
  const uint16_t align = f.blockAlign ? *f.blockAlign : static_cast<uint16_t>(f.channels * f.bits / 8);
  std::string p = Le16(f.tag) + Le16(f.channels) + Le32(f.rate) + Le32(f.rate * align) + Le16(align) + Le16(f.bits);
  p += Le16(f.size > 18 ? static_cast<uint16_t>(f.size - 18) : 0);
  p.resize(f.size, '\x07');  // cut to the size, or filled up with extension bytes
  return p;
}

inline std::string Fmt(const FmtFields& f = {}) { return Chunk("fmt ", FmtPayload(f)); }

// A WAVE_FORMAT_EXTENSIBLE "fmt " as recorders write it: the real tag in the first two bytes of the
// sub-format GUID (..-0000-0010-8000-00AA00389B71), a channel mask and the valid bits.
inline std::string ExtensibleFmt(uint16_t subTag, const FmtFields& f = {}, uint32_t channelMask = 4) {
  FmtFields outer = f;
  outer.tag = 0xFFFE;
  outer.size = 18;
  std::string p = FmtPayload(outer);
  p.replace(16, 2, Le16(22));
  p += Le16(f.bits) + Le32(channelMask) + Le16(subTag) +
       std::string("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
  return Chunk("fmt ", p);
}

// n little-endian 16-bit samples start, start + 1, ...
inline std::string Samples16(unsigned n, int start = 0) {
  std::string s;
  for (unsigned i = 0; i < n; ++i) s += Le16(static_cast<uint16_t>(start + static_cast<int>(i)));
  return s;
}

inline uint32_t At32(const std::string& bytes, size_t offset) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(bytes.at(offset + i));
  return v;
}

}  // namespace vowelscope::testsupport
