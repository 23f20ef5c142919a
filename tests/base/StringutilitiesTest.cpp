#include "base/Stringutilities.h"

#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

namespace vowelscope {
namespace {

using platform::LeadByteTable;
using Fields = std::vector<std::string>;

Fields AsVector(const std::list<std::string>& list) { return Fields(list.begin(), list.end()); }

// Double-byte characters of code page 932 whose second byte is a backslash (0x5C) or an at sign (0x40).
const std::string kSo = "\x83\x5C";     // katakana so
const std::string kHyo = "\x95\x5C";    // "table"
const std::string kSpace = "\x81\x40";  // ideographic space

TEST(FormatString, FormatsLikePrintf_AtAnyLength) {
  EXPECT_EQ(FormatString("%d\t%.3f\t%s", 42, 1.5, "x"), "42\t1.500\tx");
  EXPECT_EQ(FormatString("Region%d", 49), "Region49");
  EXPECT_EQ(FormatString("%s", ""), "");
  const std::string longText(5000, 'q');
  EXPECT_EQ(FormatString("<%s>", longText.c_str()), "<" + longText + ">");
}

TEST(Split, FieldsOfTabSeparatedLines) {
  struct Case {
    std::string text;
    bool skipEmpty;
    Fields expected;
  };
  const Case cases[] = {
      {"", false, {}},
      {"\t", false, {"", ""}},
      {"abc", false, {"abc"}},
      {"a\t\tb", false, {"a", "", "b"}},
      {"a\t", false, {"a", ""}},
      {"\ta", false, {"", "a"}},
      {"0.025\t120.5\t0.9\t65.2", false, {"0.025", "120.5", "0.9", "65.2"}},
      {"a\t\tb\t", true, {"a", "b"}},
      {"\t", true, {}},
      {"\t\tx", true, {"x"}},
  };
  for (const Case& c : cases) {
    std::list<std::string> out{"stale"};
    Split(c.text, "\t", "", c.skipEmpty, out);
    EXPECT_EQ(AsVector(out), c.expected) << "text \"" << c.text << "\" skipEmpty " << c.skipEmpty;
  }
}

TEST(Split, MultiByteDelimiterAndQuotes) {
  struct Case {
    std::string text;
    std::string delimiter;
    std::string quote;
    Fields expected;
  };
  const Case cases[] = {
      {"a, b, c", ", ", "", {"a", "b", "c"}},
      {"a,b", ", ", "", {"a,b"}},
      {"\"a,b\",c", ",", "\"", {"\"a,b\"", "c"}},
      // A quote inside a field does not open a quoted part.
      {"a\"b,c\"", ",", "\"", {"a\"b", "c\""}},
      {"\"a,b", ",", "\"", {"\"a,b"}},
      {"\"\",x", ",", "\"", {"\"\"", "x"}},
      // Nothing to split at: the whole text, rather than a loop that never moves on.
      {"a\tb", "", "", {"a\tb"}},
  };
  for (const Case& c : cases) {
    std::list<std::string> out;
    Split(c.text, c.delimiter, c.quote, false, out);
    EXPECT_EQ(AsVector(out), c.expected) << "text \"" << c.text << "\"";
  }
}

TEST(Split, StepsOverDoubleByteCharacterWhoseSecondByteIsTheDelimiter) {
  struct Case {
    std::string text;
    std::string delimiter;
    Fields cp932;
    Fields singleByte;
  };
  const Case cases[] = {
      {kHyo + "\\x", "\\", {kHyo, "x"}, {"\x95", "", "x"}},
      {"a" + kSpace + "b@c", "@", {"a" + kSpace + "b", "c"}, {"a\x81", "b", "c"}},
      {kSo + kSo, "\\", {kSo + kSo}, {"\x83", "\x83", ""}},
      // A lead byte as the very last byte is a character of its own.
      {"a\\\x83", "\\", {"a", "\x83"}, {"a", "\x83"}},
  };
  for (const Case& c : cases) {
    std::list<std::string> out;
    detail::Split(c.text, c.delimiter, "", false, out, LeadByteTable::Cp932());
    EXPECT_EQ(AsVector(out), c.cp932);
    detail::Split(c.text, c.delimiter, "", false, out, LeadByteTable::None());
    EXPECT_EQ(AsVector(out), c.singleByte);
  }
}

TEST(Paths, TakesPathsApartAtTheLastSeparator) {
  struct Case {
    std::string path;
    std::string directory;
    std::string fileName;
  };
  const Case cases[] = {
      {"/data/take1.wav", "/data", "take1.wav"},
      {"take1.wav", "", "take1.wav"},
      {"data/sub/", "data/sub", ""},
      {"/take1.wav", "", "take1.wav"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetDirectoryPart(c.path), c.directory) << c.path;
    EXPECT_EQ(GetFileNamePart(c.path), c.fileName) << c.path;
  }
}

TEST(Paths, ChangeExtension_ReplacesOnlyTheFileNamesLastExtension) {
  struct Case {
    std::string path;
    std::string expected;
  };
  const Case cases[] = {
      {"/data/take1.wav", "/data/take1.f0"},
      {"take1", "take1.f0"},
      {"a.b.wav", "a.b.f0"},
      {"/my.data/take1", "/my.data/take1.f0"},
      {"/my.data/take1.wav", "/my.data/take1.f0"},
      {"dir/.wav", "dir/.f0"},
      {"dir/", "dir/.f0"},
      // A file in the root folder stays there.
      {"/take1.wav", "/take1.f0"},
  };
  for (const Case& c : cases) EXPECT_EQ(ChangeExtension(c.path, ".f0"), c.expected) << c.path;
}

TEST(Paths, TrailingSeparator) {
  struct Case {
    std::string path;
    std::string included;
    std::string excluded;
  };
  const Case cases[] = {
      {"", "", ""},
      {"/", "/", ""},
      {"a", "a/", "a"},
      {"a/", "a/", "a"},
      {"a//", "a//", "a/"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IncludeTrailingSeparator(c.path), c.included) << c.path;
    EXPECT_EQ(ExcludeTrailingSeparator(c.path), c.excluded) << c.path;
  }
}

TEST(Paths, TrailByteIsTheOddPositionInARunOfLeadBytes) {
  const LeadByteTable& cp932 = LeadByteTable::Cp932();
  struct Case {
    std::string text;
    bool trail;  // is the last byte the second byte of a double-byte character?
  };
  const Case cases[] = {
      {"\\", false},
      {kSo, true},
      {"\x81\x81\\", false},  // 81 81 is one character, the backslash stands alone
      {"\x81\x81\x81\\", true},
      {"a\x83\\", true},
      {"\x83\\\\", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(detail::IsTrailByte(c.text, c.text.size() - 1, cp932), c.trail);
    EXPECT_FALSE(detail::IsTrailByte(c.text, c.text.size() - 1, LeadByteTable::None()));
  }
}

TEST(Paths, BackslashPathsWithDoubleByteCharacters) {
  const LeadByteTable& cp932 = LeadByteTable::Cp932();
  const char sep = '\\';

  // A folder named with a character whose second byte is 0x5C keeps that character.
  const std::string inFolder = "C:\\" + kSo + "\\a.wav";
  EXPECT_EQ(detail::GetDirectoryPart(inFolder, sep, cp932), "C:\\" + kSo);
  EXPECT_EQ(detail::GetFileNamePart(inFolder, sep, cp932), "a.wav");
  EXPECT_EQ(detail::ChangeExtension(inFolder, ".f0", sep, cp932), "C:\\" + kSo + "\\a.f0");

  const std::string endsWithSo = "C:\\data\\" + kHyo + kSo;
  EXPECT_EQ(detail::GetDirectoryPart(endsWithSo, sep, cp932), "C:\\data");
  EXPECT_EQ(detail::GetFileNamePart(endsWithSo, sep, cp932), kHyo + kSo);
  EXPECT_EQ(detail::ChangeExtension(endsWithSo, ".fr", sep, cp932), endsWithSo + ".fr");
  EXPECT_EQ(detail::ExcludeTrailingSeparator(endsWithSo, sep, cp932), endsWithSo);
  EXPECT_EQ(detail::IncludeTrailingSeparator(endsWithSo, sep, cp932), endsWithSo + "\\");
  EXPECT_EQ(detail::ExcludeTrailingSeparator(endsWithSo + "\\", sep, cp932), endsWithSo);

  // Read as single bytes, the same path would be cut inside the character.
  EXPECT_EQ(detail::GetDirectoryPart(endsWithSo, sep, LeadByteTable::None()), "C:\\data\\" + kHyo + "\x83");
  EXPECT_EQ(detail::GetFileNamePart(kSo, sep, cp932), kSo);
  EXPECT_EQ(detail::GetDirectoryPart(kSo, sep, cp932), "");
}

}  // namespace
}  // namespace vowelscope
