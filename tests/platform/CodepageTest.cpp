#include "platform/Codepage.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace vowelscope::platform {
namespace {

TEST(Codepage, Cp932_MarksExactlyTheTwoLeadRanges) {
  const LeadByteTable& table = LeadByteTable::Cp932();
  for (unsigned b = 0; b < 256; ++b) {
    const bool expected = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    EXPECT_EQ(table.IsLeadByte(static_cast<unsigned char>(b)), expected) << "byte 0x" << std::hex << b;
  }
}

TEST(Codepage, ForCodeset_KnowsShiftJisUnderItsNames_AndNothingElse) {
  struct Case {
    const char* codeset;
    bool doubleByte;
  };
  const Case cases[] = {{"SHIFT_JIS", true},  {"Shift-JIS", true}, {"SJIS", true},   {"CP932", true},
                        {"WINDOWS-31J", true}, {"ms_kanji", true},  {"UTF-8", false}, {"ANSI_X3.4-1968", false},
                        {"ISO-8859-1", false}, {"", false},         {"SJIS2", false}};
  for (const Case& c : cases) {
    EXPECT_EQ(LeadByteTable::ForCodeset(c.codeset).HasLeadBytes(), c.doubleByte) << c.codeset;
  }
}

TEST(Codepage, Current_FollowsTheLocale_NoLeadBytesForCAndUtf8) {
  const std::string saved = std::setlocale(LC_CTYPE, nullptr);
  for (const char* name : {"C", "C.UTF-8"}) {
    if (std::setlocale(LC_CTYPE, name) == nullptr) continue;  // not installed here
    EXPECT_FALSE(LeadByteTable::Current().HasLeadBytes()) << name;
    EXPECT_FALSE(IsLeadByte(0x81)) << name;
  }
  std::setlocale(LC_CTYPE, saved.c_str());
}

}  // namespace
}  // namespace vowelscope::platform
