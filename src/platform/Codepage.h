#pragma once
// Which bytes of the process's narrow encoding open a double-byte character. Path and field scanners
// use it so that the second byte of such a character is never taken for a backslash, a dot or a tab.

#include <array>
#include <string_view>

namespace vowelscope::platform {

class LeadByteTable {
 public:
  // A table without lead bytes: single-byte encodings and UTF-8 (whose continuation bytes never
  // collide with ASCII, so no scanner needs to step over them).
  constexpr LeadByteTable() = default;

  bool IsLeadByte(unsigned char byte) const { return lead[byte]; }
  bool HasLeadBytes() const;

  static const LeadByteTable& None();
  // Shift-JIS as extended by code page 932: lead bytes 0x81-0x9F and 0xE0-0xFC.
  static const LeadByteTable& Cp932();
  // The table for a codeset name as nl_langinfo(CODESET) gives it ("SHIFT_JIS", "CP932", "UTF-8", ...);
  // case, '-' and '_' are ignored. Unknown codesets have no lead bytes.
  static const LeadByteTable& ForCodeset(std::string_view codeset);
  // The table of the codeset of the locale in effect now (LC_CTYPE).
  static const LeadByteTable& Current();

 private:
  static LeadByteTable Range(unsigned first1, unsigned last1, unsigned first2, unsigned last2);
  std::array<bool, 256> lead{};
};

// Lead-byte test for the process's current encoding.
inline bool IsLeadByte(unsigned char byte) { return LeadByteTable::Current().IsLeadByte(byte); }

}  // namespace vowelscope::platform
