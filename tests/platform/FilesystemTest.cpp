#include "platform/Filesystem.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/Testfolder.h"
#include "support/Scopedenv.h"

namespace vowelscope::platform {
namespace {

namespace fs = std::filesystem;
using testsupport::ScopedEnv;

class FilesystemTest : public ::testing::Test {
 protected:
  void SetUp() override { dir = testsupport::TestFolder("filesystem"); }
  void Touch(const fs::path& p, const std::string& text = "x") { std::ofstream(p) << text; }
  std::string Path(const std::string& rel) const { return (dir / rel).string(); }
  static std::vector<std::string> Names(const std::vector<DirectoryEntry>& entries) {
    std::vector<std::string> names;
    for (const auto& e : entries) names.push_back(e.name);
    return names;
  }

  fs::path dir;
};

TEST_F(FilesystemTest, GetPathType_TellsFilesFromFoldersThroughLinks) {
  Touch(dir / "file");
  fs::create_directory(dir / "sub");
  fs::create_directory_symlink(dir / "sub", dir / "linkdir");
  fs::create_symlink(dir / "file", dir / "linkfile");
  fs::create_symlink(dir / "nowhere", dir / "broken");

  EXPECT_EQ(GetPathType(Path("file")), PathType::File);
  EXPECT_EQ(GetPathType(Path("sub")), PathType::Directory);
  EXPECT_EQ(GetPathType(Path("sub/")), PathType::Directory);
  EXPECT_EQ(GetPathType(Path("linkdir")), PathType::Directory);
  EXPECT_EQ(GetPathType(Path("linkfile")), PathType::File);
  EXPECT_EQ(GetPathType(Path("broken")), PathType::Missing);
  EXPECT_EQ(GetPathType(Path("missing")), PathType::Missing);
  EXPECT_EQ(GetPathType(""), PathType::Missing);
}

TEST_F(FilesystemTest, MakeDirectory_CreatesOneLevelOnly) {
  EXPECT_TRUE(MakeDirectory(Path("a")));
  EXPECT_TRUE(fs::is_directory(dir / "a"));
  EXPECT_FALSE(MakeDirectory(Path("a"))) << "exists already";
  EXPECT_FALSE(MakeDirectory(Path("x/y"))) << "parent missing";
  EXPECT_FALSE(fs::exists(dir / "x"));
  EXPECT_FALSE(MakeDirectory(""));
}

TEST_F(FilesystemTest, ListDirectory_MatchesPatternWithoutCase_SortedByName) {
  for (const char* name : {"b.ini", "A.INI", "c.txt", "a.ini.bak", ".hidden.ini"}) Touch(dir / name);
  fs::create_directory(dir / "z.ini");

  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(ListDirectory(dir.string(), "*.ini", entries));
  EXPECT_EQ(Names(entries), (std::vector<std::string>{".hidden.ini", "A.INI", "b.ini", "z.ini"}));
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_FALSE(entries[1].directory);
  EXPECT_TRUE(entries[3].directory);
}

TEST_F(FilesystemTest, ListDirectory_LeavesOutDotsAndDeadLinks_FlagsLinks) {
  Touch(dir / "file");
  fs::create_directory(dir / "sub");
  fs::create_directory_symlink(dir / "sub", dir / "linkdir");
  fs::create_symlink(dir / "nowhere", dir / "broken");

  std::vector<DirectoryEntry> entries{{"kept", false, false}};
  ASSERT_TRUE(ListDirectory(dir.string(), "*", entries));
  EXPECT_EQ(Names(entries), (std::vector<std::string>{"kept", "file", "linkdir", "sub"})) << "appends, sorted";
  EXPECT_TRUE(entries[2].directory);
  EXPECT_TRUE(entries[2].symbolicLink);
  EXPECT_TRUE(entries[3].directory);
  EXPECT_FALSE(entries[3].symbolicLink);
}

TEST_F(FilesystemTest, ListDirectory_EndStatus) {
  std::vector<DirectoryEntry> entries;
  EXPECT_TRUE(ListDirectory(dir.string(), "*.ini", entries)) << "no match is not an error";
  EXPECT_TRUE(entries.empty());
  EXPECT_FALSE(ListDirectory(Path("missing"), "*", entries));
  Touch(dir / "file");
  EXPECT_FALSE(ListDirectory(Path("file"), "*", entries)) << "a file is not a folder";
  EXPECT_TRUE(entries.empty());
}

TEST(FilesystemEnv, ApplicationDataFolder_XdgWhenAbsolute_ElseHomeConfig) {
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "/somewhere/config");
    ScopedEnv home("HOME", "/home/someone");
    EXPECT_EQ(GetApplicationDataFolder(), "/somewhere/config");
  }
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "relative/config");
    ScopedEnv home("HOME", "/home/someone");
    EXPECT_EQ(GetApplicationDataFolder(), "/home/someone/.config");
  }
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
    ScopedEnv home("HOME", "/home/someone/");
    EXPECT_EQ(GetApplicationDataFolder(), "/home/someone/.config");
  }
  {
    // Without HOME the user database still knows a home folder.
    ScopedEnv xdg("XDG_CONFIG_HOME", "");
    ScopedEnv home("HOME", nullptr);
    const std::string folder = GetApplicationDataFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.front(), '/');
    EXPECT_EQ(fs::path(folder).filename(), ".config");
  }
}

TEST(FilesystemEnv, UserDataFolder_XdgDataHomeWhenAbsolute_ElseHomeLocalShare) {
  const struct {
    const char* xdg;
    const char* home;
    const char* folder;
  } cases[] = {
      {"/somewhere/data", "/home/someone", "/somewhere/data"},
      {"relative/data", "/home/someone", "/home/someone/.local/share"},
      {nullptr, "/home/someone/", "/home/someone/.local/share"},
      {"", "/home/someone", "/home/someone/.local/share"},
  };
  for (const auto& c : cases) {
    ScopedEnv xdg("XDG_DATA_HOME", c.xdg);
    ScopedEnv home("HOME", c.home);
    EXPECT_EQ(GetUserDataFolder(), c.folder) << (c.xdg ? c.xdg : "(unset)");
  }
  // The configuration folder is not the data folder.
  ScopedEnv xdg("XDG_DATA_HOME", "/somewhere/data");
  ScopedEnv config("XDG_CONFIG_HOME", "/somewhere/config");
  EXPECT_EQ(GetApplicationDataFolder(), "/somewhere/config");
}

TEST(FilesystemExe, ExecutablePath_IsThisTestProgram) {
  const std::string path = GetExecutablePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(fs::path(path).filename(), "test_filesystem");
  EXPECT_TRUE(fs::equivalent(path, "/proc/self/exe"));
}

TEST_F(FilesystemTest, CreateFileBeside_NeverTruncates_KeepsTargetPermissions) {
  const fs::path target = dir / "take.f0";
  Touch(target, "old");
  ::chmod(target.c_str(), 0640);
  Touch(dir / "take.f0.tmp", "someone's file");

  std::string created;
  std::FILE* file = CreateFileBeside(target.string(), created);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(created, (dir / "take.f0.tmp1").string());
  EXPECT_TRUE(SyncFile(file));
  std::fclose(file);

  struct stat info;
  ASSERT_EQ(::stat(created.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(fs::file_size(created), 0u);
  EXPECT_EQ(fs::file_size(dir / "take.f0.tmp"), 14u);
  EXPECT_EQ(fs::file_size(target), 3u);

  EXPECT_EQ(CreateFileBeside(Path("missing/take.f0"), created), nullptr);
  EXPECT_TRUE(created.empty());
}

}  // namespace
}  // namespace vowelscope::platform
