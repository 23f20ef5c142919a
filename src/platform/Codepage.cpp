#include "platform/Codepage.h"

#include <langinfo.h>

#include <algorithm>
#include <cctype>
#include <cstddef>

namespace vowelscope::platform {

bool LeadByteTable::HasLeadBytes() const {
  return std::any_of(lead.begin(), lead.end(), [](bool b) { return b; });
}

LeadByteTable LeadByteTable::Range(unsigned first1, unsigned last1, unsigned first2, unsigned last2) {
  LeadByteTable table;
  for (unsigned b = first1; b <= last1; ++b) table.lead[b] = true;
  for (unsigned b = first2; b <= last2; ++b) table.lead[b] = true;
  return table;
}

const LeadByteTable& LeadByteTable::None() {
  static const LeadByteTable none;
  return none;
}

const LeadByteTable& LeadByteTable::Cp932() {
  static const LeadByteTable cp932 = Range(0x81, 0x9F, 0xE0, 0xFC);
  return cp932;
}

const LeadByteTable& LeadByteTable::ForCodeset(std::string_view codeset) {
  // Normalised into a small buffer: the string scanners ask for the current table on every call.
  char key[32];
  std::size_t length = 0;
  for (char c : codeset) {
    if (c == '-' || c == '_') continue;
    if (length == sizeof key) return None();  // longer than any name below
    key[length++] = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  const std::string_view normalised(key, length);
  // The names glibc and iconv use for Shift-JIS and its Microsoft extension.
  static constexpr std::string_view shiftJis[] = {"SHIFTJIS", "SJIS", "CP932", "WINDOWS31J", "MSKANJI",
                                                  "CSSHIFTJIS", "CSWINDOWS31J", "MS932", "IBM943"};
  for (std::string_view name : shiftJis) {
    if (normalised == name) return Cp932();
  }
  return None();
}

const LeadByteTable& LeadByteTable::Current() {
  const char* codeset = nl_langinfo(CODESET);
  return ForCodeset(codeset != nullptr ? codeset : "");
}

}  // namespace vowelscope::platform
