#include "platform/Profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "support/Testfolder.h"

namespace vowelscope {
namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::WriteFile;
using namespace std::string_literals;

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override { dir = testsupport::TestFolder("profile"); }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
  }

  std::string Path(const std::string& name) const { return (dir / name).string(); }
  static std::optional<std::string> Read(const std::string& section, const std::string& key, const std::string& file) {
    char buffer[4096];
    const std::string marker = "\x01missing";
    const std::size_t n = GetProfileString(section, key, marker, buffer, sizeof buffer, file);
    std::string value(buffer, n);
    if (value == marker) return std::nullopt;
    return value;
  }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    return names;
  }

  fs::path dir;
};

struct ReadCase {
  const char* what;
  std::string file;
  const char* section;
  const char* key;
  std::optional<std::string> expected;  // nullopt: the default comes back
};

TEST_F(ProfileTest, GetProfileString_FindsValuesTheWayTheFileMeansThem) {
  const std::vector<ReadCase> cases = {
      {"plain", "[A]\nk=v\n", "A", "k", "v"},
      {"names without case", "[Formant]\nPreEmphasis=1\n", "FORMANT", "preemphasis", "1"},
      {"blanks around names and value", "  [ A ]  \n  k  =  v w  \n", "A", "k", "v w"},
      {"value keeps later '='", "[A]\nk=a=b\n", "A", "k", "a=b"},
      {"empty value", "[A]\nk=\n", "A", "k", ""},
      {"CR LF", "[A]\r\nk=v\r\nj=w\r\n", "A", "j", "w"},
      {"no line end at the end", "[A]\nk=v", "A", "k", "v"},
      {"byte-order mark", "\xEF\xBB\xBF[A]\nk=v\n", "A", "k", "v"},
      {"UTF-8 value", "[A]\nCaption=日本語 男性\n", "A", "Caption", "日本語 男性"},
      {"key of the next section is not ours", "[A]\n[B]\nk=v\n", "A", "k", std::nullopt},
      {"key before any section", "k=v\n[A]\n", "A", "k", std::nullopt},
      {"comment is not a key", "[A]\n;k=v\n", "A", ";k", std::nullopt},
      {"line without '='", "[A]\nk\n", "A", "k", std::nullopt},
      {"missing section", "[A]\nk=v\n", "B", "k", std::nullopt},
      {"header without ']'", "[A\nk=v\n", "A", "k", "v"},
      {"duplicate key: first wins", "[A]\nk=1\nk=2\n", "A", "k", "1"},
      {"duplicate section: first wins", "[A]\nk=1\n[B]\n[a]\nk=2\nj=3\n", "A", "k", "1"},
      {"duplicate section: its keys are not seen", "[A]\nk=1\n[A]\nj=3\n", "A", "j", std::nullopt},
      {"NUL and binary bytes elsewhere", "\x00\xff\xfe garbage\n[A]\nk=v\n\x00\n"s, "A", "k", "v"},
      {"NUL inside a value is kept", "[A]\nk=a\x00z\n"s, "A", "k", "a\x00z"s},
      {"lone CR stays inside the line", "[A]\nk=a\rj=b\n", "A", "k", "a\rj=b"},
  };
  for (const auto& c : cases) {
    const std::string file = Path("read.ini");
    WriteFile(file, c.file);
    EXPECT_EQ(Read(c.section, c.key, file), c.expected) << c.what;
  }
  EXPECT_EQ(Read("A", "k", Path("missing.ini")), std::nullopt) << "missing file";
  EXPECT_EQ(Read("A", "k", dir.string()), std::nullopt) << "a folder";
}

TEST_F(ProfileTest, GetProfileInt_ParsesDecimalTextAndFallsBackWhenMissingOrEmpty) {
  struct Case {
    std::string text;
    int expected;
  };
  const std::vector<Case> cases = {
      {"k=16", 16},          {"k=-5", -5},       {"k=+7", 7},       {"k=4294967295", -1},
      {"k=12abc", 12},       {"k=abc", 0},       {"k=", 99},        {"k=   ", 99},
      {"k=99999999999", -1}, {"k=2147483648", INT32_MIN},           {"j=1", 99},
  };
  for (const auto& c : cases) {
    const std::string file = Path("int.ini");
    WriteFile(file, "[S]\n" + c.text + "\n");
    EXPECT_EQ(GetProfileInt("S", "k", 99, file), c.expected) << c.text;
  }
  EXPECT_EQ(GetProfileInt("S", "k", 7, Path("missing.ini")), 7);
}

TEST_F(ProfileTest, GetProfileString_CutsValueAndDefaultToTheBuffer) {
  const std::string file = Path("cut.ini");
  WriteFile(file, "[S]\nk=0123456789\n");
  char buffer[5] = {'#', '#', '#', '#', '#'};
  EXPECT_EQ(GetProfileString("S", "k", "", buffer, sizeof buffer, file), 4u);
  EXPECT_STREQ(buffer, "0123");
  EXPECT_EQ(GetProfileString("S", "none", "abcdefgh", buffer, sizeof buffer, file), 4u);
  EXPECT_STREQ(buffer, "abcd");
  EXPECT_EQ(GetProfileString("S", "k", "", buffer, 0, file), 0u);
  EXPECT_EQ(buffer[0], 'a') << "a zero-sized buffer is not touched";
}

TEST_F(ProfileTest, GetProfileString_ReadsAroundAVeryLongLine) {
  const std::string file = Path("long.ini");
  const std::string longValue(1 << 20, 'x');
  WriteFile(file, "[S]\nlong=" + longValue + "\nk=after");  // and no line end at the end
  std::vector<char> buffer(4096);
  EXPECT_EQ(GetProfileString("S", "long", "", buffer.data(), buffer.size(), file), 4095u);
  EXPECT_EQ(std::string(buffer.data()), longValue.substr(0, 4095));
  EXPECT_EQ(Read("S", "k", file), "after");
  ASSERT_TRUE(WriteProfileString("S", "k", "changed", file));
  EXPECT_EQ(ReadFile(file), "[S]\nlong=" + longValue + "\nk=changed");
}

struct WriteCase {
  const char* what;
  std::string before;
  const char* section;
  const char* key;
  const char* value;
  std::string after;
};

TEST_F(ProfileTest, WriteProfileString_ChangesOnlyWhatItMustAndKeepsTheRest) {
  const std::vector<WriteCase> cases = {
      {"new key at the end of its section", "; top\n[A]\nx=1\n\n[B]\ny=2\n", "A", "z", "3",
       "; top\n[A]\nx=1\nz=3\n\n[B]\ny=2\n"},
      {"new key in an empty section", "[A]\n[B]\n", "a", "k", "v", "[A]\nk=v\n[B]\n"},
      {"value replaced in place, key spelled as in the file", "[A]\n; note\nKey = old\nq=1\n", "a", "KEY", "new",
       "[A]\n; note\nKey = new\nq=1\n"},
      {"value emptied", "[A]\nk=old\n", "A", "k", "", "[A]\nk=\n"},
      {"new section after a blank line", "[A]\nx=1\n", "B", "k", "v", "[A]\nx=1\n\n[B]\nk=v\n"},
      {"CR LF kept for old and new lines", "[A]\r\nx=1\r\n", "A", "k", "v", "[A]\r\nx=1\r\nk=v\r\n"},
      {"last line without a line end", "[A]\nx=1", "A", "k", "v", "[A]\nx=1\nk=v\n"},
      {"first of two equal sections", "[A]\nx=1\n[A]\nx=2\n", "A", "x", "9", "[A]\nx=9\n[A]\nx=2\n"},
      {"first of two equal keys", "[A]\nx=1\nx=2\n", "A", "x", "9", "[A]\nx=9\nx=2\n"},
      {"binary bytes elsewhere survive", "\x00\xff\n[A]\nx=1\n"s, "A", "x", "2", "\x00\xff\n[A]\nx=2\n"s},
      {"byte-order mark survives", "\xEF\xBB\xBF[A]\nx=1\n", "A", "x", "2", "\xEF\xBB\xBF[A]\nx=2\n"},
      {"names trimmed", "", " A ", " k ", "v", "[A]\nk=v\n"},
  };
  for (const auto& c : cases) {
    const std::string file = Path("write.ini");
    WriteFile(file, c.before);
    EXPECT_TRUE(WriteProfileString(c.section, c.key, c.value, file)) << c.what;
    EXPECT_EQ(ReadFile(file), c.after) << c.what;
    EXPECT_EQ(Read(c.section, c.key, file), c.value) << c.what;
  }
}

TEST_F(ProfileTest, WriteProfileString_CreatesTheFileAndLeavesNoTemporaryBehind) {
  const std::string file = Path("new.ini");
  ASSERT_TRUE(WriteProfileString("Formant", "Order", "16", file));
  ASSERT_TRUE(WriteProfileString("F0", "FrameShift", "10", file));
  ASSERT_TRUE(WriteProfileString("Formant", "BandWidth", "500", file));
  EXPECT_EQ(ReadFile(file), "[Formant]\nOrder=16\nBandWidth=500\n\n[F0]\nFrameShift=10\n");
  EXPECT_EQ(Entries(), std::vector<std::string>{"new.ini"});
  // Writing the value the file already holds changes nothing.
  const auto before = fs::last_write_time(file);
  ASSERT_TRUE(WriteProfileString("formant", "order", "16", file));
  EXPECT_EQ(fs::last_write_time(file), before);
}

TEST_F(ProfileTest, WriteProfileString_KeepsPermissionsAndWritesThroughALink) {
  const std::string file = Path("real.ini");
  WriteFile(file, "[A]\nx=1\n");
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink("real.ini", Path("link.ini"));
  ASSERT_TRUE(WriteProfileString("A", "x", "2", Path("link.ini")));
  EXPECT_TRUE(fs::is_symlink(Path("link.ini")));
  EXPECT_EQ(ReadFile(file), "[A]\nx=2\n");
  EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(Read("A", "x", Path("link.ini")), "2");
}

TEST_F(ProfileTest, WriteProfileString_FailsWithoutTouchingTheOldFile) {
  // Missing folder: nothing is created.
  EXPECT_FALSE(WriteProfileString("A", "k", "v", Path("no/such/folder.ini")));
  EXPECT_FALSE(fs::exists(Path("no")));
  // A folder in place of the file.
  fs::create_directory(Path("folder.ini"));
  EXPECT_FALSE(WriteProfileString("A", "k", "v", Path("folder.ini")));

  // A read-only file stays as it was, even for the superuser.
  const std::string readOnly = Path("readonly.ini");
  WriteFile(readOnly, "[A]\nk=old\n");
  fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read);
  EXPECT_FALSE(WriteProfileString("A", "k", "new", readOnly));
  EXPECT_EQ(ReadFile(readOnly), "[A]\nk=old\n");

  // Names and values that would break the line structure are refused.
  const std::string file = Path("plain.ini");
  WriteFile(file, "[A]\nk=old\n");
  const std::vector<std::vector<std::string>> refused = {
      {"A", "k", "new\n[B]\nx=1"}, {"A", "k", "new\rx"},   {"A", "k", "a\0b"s}, {"A]", "k", "v"},
      {"A\n", "k", "v"},           {"A", "k=1", "v"},       {"A", "[k", "v"},      {"A", ";k", "v"},
      {"", "k", "v"},              {"A", "  ", "v"},
  };
  for (const auto& r : refused) {
    EXPECT_FALSE(WriteProfileString(r[0], r[1], r[2], file)) << r[0] << "/" << r[1];
  }
  EXPECT_EQ(ReadFile(file), "[A]\nk=old\n");
  EXPECT_EQ(Entries().size(), 3u) << "no temporary file is left behind";
}

TEST_F(ProfileTest, WriteProfileString_FailsInAFolderThatRefusesNewFiles) {
  const std::string file = Path("locked/settings.ini");
  fs::create_directory(Path("locked"));
  WriteFile(file, "[A]\nk=old\n");
  fs::permissions(Path("locked"), fs::perms::owner_read | fs::perms::owner_exec);
  if (::access(Path("locked").c_str(), W_OK) == 0) GTEST_SKIP() << "the superuser may write anywhere";
  EXPECT_FALSE(WriteProfileString("A", "k", "new", file));
  EXPECT_EQ(ReadFile(file), "[A]\nk=old\n");
}

TEST_F(ProfileTest, Reads_ParseAFileOnceAndSeeLaterChanges) {
  const std::string file = Path("cache.ini");
  std::string text = "[Information]\nCaption=set\n";
  for (int i = 0; i < 50; ++i) text += "[Region" + std::to_string(i) + "]\nEnabled=1\nF1Center=" + std::to_string(i) + "\n";
  WriteFile(file, text);

  const std::size_t before = ProfileParseCount();
  int sum = 0;
  for (int i = 0; i < 50; ++i) {
    sum += GetProfileInt("Region" + std::to_string(i), "F1Center", 0, file);
    sum += GetProfileInt("Region" + std::to_string(i), "Angle", 0, file);
  }
  EXPECT_EQ(sum, 49 * 50 / 2);
  EXPECT_EQ(ProfileParseCount() - before, 1u);

  // A change made behind our back is seen; one made by our own write costs no parse.
  WriteFile(file, "[Information]\nCaption=changed by hand\n");
  EXPECT_EQ(Read("Information", "Caption", file), "changed by hand");
  ASSERT_TRUE(WriteProfileString("Information", "Caption", "ours", file));
  const std::size_t afterWrite = ProfileParseCount();
  EXPECT_EQ(Read("Information", "Caption", file), "ours");
  EXPECT_EQ(ProfileParseCount(), afterWrite);

  // Same size, same second: the times cannot tell these two versions apart, the bytes can.
  for (const char* value : {"1", "2", "3"}) {
    WriteFile(file, std::string("[A]\nk=") + value + "\n");
    EXPECT_EQ(Read("A", "k", file), value);
  }
  // And a write never builds on a stale picture of the file.
  WriteFile(file, "[A]\nk=9\n");
  ASSERT_TRUE(WriteProfileString("A", "j", "0", file));
  EXPECT_EQ(ReadFile(file), "[A]\nk=9\nj=0\n");

  fs::remove(file);
  EXPECT_EQ(Read("Information", "Caption", file), std::nullopt);
}

}  // namespace
}  // namespace vowelscope
