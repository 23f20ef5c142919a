#include "base/Fileutilities.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <list>
#include <string>
#include <vector>

#include "support/Scopedenv.h"
#include "support/Testfolder.h"

namespace vowelscope {
namespace {

namespace fs = std::filesystem;
using Lines = std::list<std::string>;

class FileutilitiesTest : public ::testing::Test {
 protected:
  void SetUp() override { dir = testsupport::TestFolder("fileutilities"); }
  std::string Path(const std::string& rel) const { return (dir / rel).string(); }
  void WriteBytes(const std::string& rel, const std::string& bytes) const { testsupport::WriteFile(dir / rel, bytes); }
  std::string ReadBytes(const std::string& rel) const { return testsupport::ReadFile(dir / rel); }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir;
};

TEST_F(FileutilitiesTest, ReadLines_LineEndsAndTheLastLine) {
  struct Case {
    std::string bytes;
    Lines expected;
  };
  const Case cases[] = {
      {"", {""}},
      {"a", {"a"}},
      {"a\n", {"a", ""}},
      {"a\r\nb\r\n", {"a", "b", ""}},
      {"a\nb", {"a", "b"}},
      {"\n\n", {"", "", ""}},
      {"a\rb\r\n", {"a\rb", ""}},  // a lone CR is text
      {"a\r", {"a\r"}},
  };
  for (const Case& c : cases) {
    WriteBytes("f.txt", c.bytes);
    Lines out;
    ASSERT_TRUE(ReadLines(Path("f.txt"), out));
    EXPECT_EQ(out, c.expected) << testing::PrintToString(c.bytes);
  }
}

TEST_F(FileutilitiesTest, ReadLines_CrLfAndLfGiveTheSameLines_LongLinesWhole) {
  // A 2000-byte line, and one whose CR ends exactly at a multiple of 4 KiB so that CR and LF come in
  // different reads.
  const std::vector<std::string> lines = {"0.025\t1.0", std::string(2000, 'x'), std::string(4095 - 2015, 'y'),
                                          "", "last"};
  std::string crlf, lf;
  for (const auto& line : lines) {
    crlf += line + "\r\n";
    lf += line + "\n";
  }
  WriteBytes("crlf.txt", crlf);
  WriteBytes("lf.txt", lf);
  Lines fromCrlf, fromLf;
  ASSERT_TRUE(ReadLines(Path("crlf.txt"), fromCrlf));
  ASSERT_TRUE(ReadLines(Path("lf.txt"), fromLf));

  Lines expected(lines.begin(), lines.end());
  expected.push_back("");
  EXPECT_EQ(fromCrlf, expected);
  EXPECT_EQ(fromLf, expected);
}

TEST_F(FileutilitiesTest, ReadLines_FailsForMissingFileAndFolder_WithOutEmpty) {
  Lines out{"stale"};
  EXPECT_FALSE(ReadLines(Path("missing.f0"), out));
  EXPECT_TRUE(out.empty());
  out = {"stale"};
  fs::create_directory(dir / "folder.f0");
  EXPECT_FALSE(ReadLines(Path("folder.f0"), out)) << "a read error is no empty file";
  EXPECT_TRUE(out.empty());
}

TEST_F(FileutilitiesTest, WriteLines_WritesCrLf_AndReplacesTheOldContent) {
  WriteBytes("t.fr", "old content that is longer than the new one\r\n");
  ASSERT_TRUE(WriteLines(Path("t.fr"), {"a\tb", "", "c"}));
  EXPECT_EQ(ReadBytes("t.fr"), "a\tb\r\n\r\nc\r\n");
  Lines back;
  ASSERT_TRUE(ReadLines(Path("t.fr"), back));
  EXPECT_EQ(back, (Lines{"a\tb", "", "c", ""}));

  ASSERT_TRUE(WriteLines(Path("t.fr"), {}));
  EXPECT_EQ(ReadBytes("t.fr"), "");
  EXPECT_EQ(Entries(), std::vector<std::string>{"t.fr"}) << "no temporary file left";
}

TEST_F(FileutilitiesTest, WriteLines_FailsWhereNoFileCanBeMade) {
  EXPECT_FALSE(WriteLines(Path("missing/t.f0"), {"a"}));
  fs::create_directory(dir / "folder.f0");
  EXPECT_FALSE(WriteLines(Path("folder.f0"), {"a"}));
  EXPECT_TRUE(fs::is_directory(dir / "folder.f0"));
  EXPECT_EQ(Entries(), std::vector<std::string>{"folder.f0"}) << "no temporary file left";
}

// Caps the size of files this process may write, as a full disk would.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limit = saved;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
  }

 private:
  rlimit saved{};
  void (*previousHandler)(int) = nullptr;
};

TEST_F(FileutilitiesTest, WriteLines_FailedWriteKeepsTheExistingFile) {
  const std::string old = "1\t2\t3\t4\r\n";
  WriteBytes("t.f0", old);
  Lines big(1000, std::string(100, 'z'));
  {
    FileSizeLimit limit(10000);
    EXPECT_FALSE(WriteLines(Path("t.f0"), big));
  }
  EXPECT_EQ(ReadBytes("t.f0"), old);
  EXPECT_EQ(Entries(), std::vector<std::string>{"t.f0"}) << "the partial temporary file is removed";
}

TEST_F(FileutilitiesTest, FileAndDirectoryExists) {
  WriteBytes("file", "x");
  fs::create_directory(dir / "sub");
  EXPECT_TRUE(FileExists(Path("file")));
  EXPECT_FALSE(DirectoryExists(Path("file")));
  EXPECT_TRUE(DirectoryExists(Path("sub")));
  EXPECT_FALSE(FileExists(Path("sub")));
  EXPECT_FALSE(FileExists(Path("missing")));
  EXPECT_FALSE(DirectoryExists(Path("missing")));
  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(DirectoryExists(""));
}

TEST_F(FileutilitiesTest, ForceDirectories_CreatesEveryMissingLevel) {
  EXPECT_TRUE(ForceDirectories(Path("a/b/c")));
  EXPECT_TRUE(fs::is_directory(dir / "a/b/c"));

  const auto stamp = fs::last_write_time(dir / "a/b");
  EXPECT_TRUE(ForceDirectories(Path("a/b")));
  EXPECT_EQ(fs::last_write_time(dir / "a/b"), stamp) << "an existing folder is left alone";

  EXPECT_TRUE(ForceDirectories(Path("x/y/")));
  EXPECT_TRUE(fs::is_directory(dir / "x/y"));
  EXPECT_TRUE(ForceDirectories("/")) << "the root folder exists";
}

TEST_F(FileutilitiesTest, ForceDirectories_WithFilesInTheWay) {
  WriteBytes("Settings.ini", "");
  EXPECT_TRUE(ForceDirectories(Path("Settings.ini"))) << "a file's own folder exists";
  EXPECT_TRUE(fs::is_regular_file(dir / "Settings.ini"));
  EXPECT_FALSE(ForceDirectories(Path("Settings.ini/sub")));
  EXPECT_FALSE(ForceDirectories("relative-folder-that-is-not-there"));
  EXPECT_FALSE(ForceDirectories(""));
}

TEST_F(FileutilitiesTest, FindFiles_DepthDecidesHowFarDown) {
  for (const char* rel : {"top.ini", "top.txt", "s1/one.ini", "s1/s2/two.ini", "s1/s2/s3/three.ini"}) {
    fs::create_directories((dir / rel).parent_path());
    WriteBytes(rel, "");
  }
  fs::create_directory(dir / "folder.ini");
  fs::create_directory_symlink(dir, dir / "s1/up");  // would loop

  const std::string base = dir.string() + "/";
  struct Case {
    int depth;
    Lines expected;
  };
  const Case cases[] = {
      {0, {base + "top.ini"}},
      {1, {base + "top.ini", base + "s1/one.ini"}},
      {2, {base + "top.ini", base + "s1/one.ini", base + "s1/s2/two.ini"}},
      {-1, {base + "top.ini", base + "s1/one.ini", base + "s1/s2/two.ini", base + "s1/s2/s3/three.ini"}},
  };
  for (const Case& c : cases) {
    Lines out;
    EXPECT_TRUE(FindFiles(dir.string(), out, c.depth, "*.ini"));
    EXPECT_EQ(out, c.expected) << "depth " << c.depth;
  }

  Lines out;
  EXPECT_TRUE(FindFiles(dir.string() + "/", out, 0, "*.ini")) << "a trailing separator is not doubled";
  EXPECT_EQ(out, Lines{base + "top.ini"});
}

TEST_F(FileutilitiesTest, FindFiles_AppendsToOut_FailsForMissingFolder) {
  WriteBytes("a.ini", "");
  Lines out{"earlier"};
  EXPECT_TRUE(FindFiles(dir.string(), out, 0, "*.ini"));
  EXPECT_EQ(out, (Lines{"earlier", dir.string() + "/a.ini"}));

  Lines none{"earlier"};
  EXPECT_FALSE(FindFiles(Path("missing"), none, -1, "*.ini"));
  EXPECT_EQ(none, Lines{"earlier"});
  EXPECT_FALSE(FindFiles(Path("a.ini"), none, 0, "*")) << "a file is no folder";

  Lines empty;
  EXPECT_TRUE(FindFiles(dir.string(), empty, 0, "*.wav")) << "no match is not an error";
  EXPECT_TRUE(empty.empty());
}

TEST(FileutilitiesFolders, SpecialFolderIsTheApplicationDataFolder) {
  const testsupport::ScopedEnv config("XDG_CONFIG_HOME", "/tmp/vs-config");
  EXPECT_EQ(GetSpecialFolderPath(CSIDL_APPDATA), "/tmp/vs-config");
  EXPECT_EQ(GetSpecialFolderPath(5), "") << "other folders are unknown";
}

TEST(FileutilitiesFolders, ExecutableFolderHoldsThisProgram) {
  const std::string folder = GetExecutableFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '/');
  EXPECT_TRUE(DirectoryExists(folder));
  EXPECT_TRUE(FileExists(folder + "/test_fileutilities"));
}

}  // namespace
}  // namespace vowelscope
