#include "platform/Rifffile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/Testfolder.h"
#include "support/Wavebytes.h"

namespace vowelscope {
namespace {

namespace fs = std::filesystem;

using testsupport::Le32;
using testsupport::ReadFile;
using testsupport::WriteFile;

fs::path TestFolder() { return testsupport::TestFolder("rifffile"); }

constexpr uint32_t kTest = MakeFourCC('T', 'E', 'S', 'T');
constexpr uint32_t kInfo = MakeFourCC('I', 'N', 'F', 'O');
constexpr uint32_t kAbcd = MakeFourCC('a', 'b', 'c', 'd');
constexpr uint32_t kItem = MakeFourCC('i', 't', 'e', 'm');

// RIFF TEST { abcd: 3 bytes + pad, LIST INFO { item: 2 bytes } }
const std::string kNested = "RIFF" + Le32(4 + 12 + 22) + "TEST" + "abcd" + Le32(3) + std::string("xyz\0", 4) +
                            "LIST" + Le32(4 + 10) + "INFO" + "item" + Le32(2) + "hi";

TEST(RiffFile, CreatesNestedChunksWithTheirSizesAndPadBytes) {
  const fs::path path = TestFolder() / "nested.riff";
  RiffFile f;
  ASSERT_TRUE(f.Open(path.string(), RiffFile::Mode::Create));
  RiffChunk riff, abcd, list, item;
  riff.formType = kTest;
  ASSERT_TRUE(f.CreateChunk(riff, RiffFile::Find::Riff));
  EXPECT_EQ(riff.dataOffset, 8);
  abcd.id = kAbcd;
  ASSERT_TRUE(f.CreateChunk(abcd, RiffFile::Find::Chunk));
  ASSERT_EQ(f.Write("xyz", 3), 3);
  ASSERT_TRUE(f.Ascend(abcd));
  EXPECT_EQ(abcd.size, 3u);
  EXPECT_EQ(f.Tell(), 24);  // past the pad byte
  list.formType = kInfo;
  ASSERT_TRUE(f.CreateChunk(list, RiffFile::Find::List));
  item.id = kItem;
  ASSERT_TRUE(f.CreateChunk(item, RiffFile::Find::Chunk));
  ASSERT_EQ(f.Write("hi", 2), 2);
  ASSERT_TRUE(f.Ascend(item));
  ASSERT_TRUE(f.Ascend(list));
  ASSERT_TRUE(f.Ascend(riff));
  EXPECT_EQ(riff.size, 38u);
  EXPECT_FALSE(riff.dirty);
  ASSERT_TRUE(f.Close());
  EXPECT_EQ(ReadFile(path), kNested);
}

TEST(RiffFile, DescendStepsOverOtherChunksAndStaysInsideItsParent) {
  const fs::path dir = TestFolder();
  const fs::path path = dir / "nested.riff";
  WriteFile(path, kNested + "tail" + Le32(0));  // a top-level chunk after the form
  RiffFile f;
  ASSERT_TRUE(f.Open(path.string(), RiffFile::Mode::Read));

  RiffChunk wrongForm;
  wrongForm.formType = kInfo;
  EXPECT_FALSE(f.Descend(wrongForm, nullptr, RiffFile::Find::Riff));

  ASSERT_EQ(f.Seek(0, SEEK_SET), 0);
  RiffChunk riff;
  riff.formType = kTest;
  ASSERT_TRUE(f.Descend(riff, nullptr, RiffFile::Find::Riff));
  EXPECT_EQ(riff.size, 38u);
  EXPECT_EQ(riff.dataOffset, 8);
  EXPECT_EQ(f.Tell(), 12);

  // "item" lies inside the LIST, and "tail" after the form: neither is found at this level.
  for (uint32_t id : {kItem, MakeFourCC('t', 'a', 'i', 'l')}) {
    ASSERT_EQ(f.Seek(12, SEEK_SET), 12);
    RiffChunk c;
    c.id = id;
    EXPECT_FALSE(f.Descend(c, &riff, RiffFile::Find::Chunk));
  }

  ASSERT_EQ(f.Seek(12, SEEK_SET), 12);
  RiffChunk list;
  list.formType = kInfo;
  ASSERT_TRUE(f.Descend(list, &riff, RiffFile::Find::List));  // steps over "abcd" and its pad byte
  EXPECT_EQ(list.dataOffset, 32);
  RiffChunk item;
  item.id = kItem;
  ASSERT_TRUE(f.Descend(item, &list, RiffFile::Find::Chunk));
  EXPECT_EQ(item.size, 2u);
  char payload[2];
  ASSERT_EQ(f.Read(payload, 2), 2);
  EXPECT_EQ(std::string(payload, 2), "hi");

  // Ascending from clean chunks only moves: to the end of each.
  ASSERT_TRUE(f.Ascend(item));
  ASSERT_TRUE(f.Ascend(list));
  ASSERT_TRUE(f.Ascend(riff));
  EXPECT_EQ(f.Tell(), 46);
  RiffChunk tail;
  tail.id = MakeFourCC('t', 'a', 'i', 'l');
  EXPECT_TRUE(f.Descend(tail, nullptr, RiffFile::Find::Chunk));
  EXPECT_FALSE(f.Descend(tail, nullptr, RiffFile::Find::Chunk));  // end of file
  EXPECT_EQ(ReadFile(path), kNested + "tail" + Le32(0));          // reading changed nothing
}

TEST(RiffFile, AscendRewritesTheSizeOfAChunkThatGrew) {
  const fs::path path = TestFolder() / "grow.riff";
  WriteFile(path, kNested);
  {
    RiffFile f;
    ASSERT_TRUE(f.Open(path.string(), RiffFile::Mode::ReadWrite));
    RiffChunk riff;
    riff.formType = kTest;
    ASSERT_TRUE(f.Descend(riff, nullptr, RiffFile::Find::Riff));
    ASSERT_EQ(f.Seek(0, SEEK_END), 46);
    ASSERT_EQ(f.Write("more!", 5), 5);
    riff.dirty = true;
    ASSERT_TRUE(f.Ascend(riff));
    EXPECT_EQ(riff.size, 43u);
    EXPECT_EQ(f.Tell(), 52);
  }
  const std::string bytes = ReadFile(path);
  EXPECT_EQ(bytes.size(), 52u);
  EXPECT_EQ(bytes.substr(4, 4), Le32(43));
  EXPECT_EQ(bytes.substr(46), std::string("more!\0", 6));
}

TEST(RiffFile, ReadsWritesAndSeeksLikeAFile) {
  const fs::path path = TestFolder() / "plain.bin";
  RiffFile f;
  EXPECT_EQ(f.Read(nullptr, 0), -1);  // not open
  ASSERT_TRUE(f.Open(path.string(), RiffFile::Mode::Create));
  ASSERT_EQ(f.Write("abcdef", 6), 6);
  ASSERT_EQ(f.Seek(2, SEEK_SET), 2);
  char c[3] = {};
  ASSERT_EQ(f.Read(c, 2), 2);
  EXPECT_EQ(std::string(c, 2), "cd");
  ASSERT_EQ(f.Write("XY", 2), 2);  // straight after a read, no seek between
  ASSERT_EQ(f.Seek(-2, SEEK_END), 4);
  ASSERT_EQ(f.Read(c, 3), 2);  // short at the end of the file
  EXPECT_EQ(std::string(c, 2), "XY");
  EXPECT_EQ(f.Seek(-7, SEEK_CUR), -1);
  EXPECT_EQ(f.Tell(), 6);
  EXPECT_EQ(f.Seek(-7, SEEK_END), -1);
  EXPECT_EQ(f.Tell(), 6);
  EXPECT_EQ(f.Seek(0, 9), -1);
  ASSERT_EQ(f.Seek(10, SEEK_SET), 10);  // past the end: reads give nothing, writes fill the gap
  EXPECT_EQ(f.Read(c, 1), 0);
  ASSERT_EQ(f.Write("z", 1), 1);
  ASSERT_TRUE(f.Close());
  EXPECT_EQ(ReadFile(path), std::string("abcdXY\0\0\0\0z", 11));
}

TEST(RiffFile, OpenRefusesMissingFilesAndNamesWithANulByte) {
  const fs::path dir = TestFolder();
  RiffFile f;
  EXPECT_FALSE(f.Open((dir / "missing").string(), RiffFile::Mode::Read));
  EXPECT_FALSE(f.Open((dir / "missing").string(), RiffFile::Mode::ReadWrite));
  EXPECT_FALSE(fs::exists(dir / "missing"));
  EXPECT_FALSE(f.Open("", RiffFile::Mode::Create));
  const std::string withNul = (dir / "a").string() + std::string("\0b", 2);
  EXPECT_FALSE(f.Open(withNul, RiffFile::Mode::Create));
  EXPECT_FALSE(fs::exists(dir / "a"));
  EXPECT_FALSE(f.IsOpen());

  WriteFile(dir / "old", "old contents");
  ASSERT_TRUE(f.Open((dir / "old").string(), RiffFile::Mode::Create));
  EXPECT_TRUE(f.Close());
  EXPECT_EQ(fs::file_size(dir / "old"), 0u);
}

TEST(RiffFile, WritersExcludeEveryOtherOpenerReadersOnlyWriters) {
  const fs::path path = TestFolder() / "locked";
  using M = RiffFile::Mode;
  struct Case {
    M first, second;
    bool opens;
  };
  const std::vector<Case> cases = {
      {M::Read, M::Read, true},       {M::Read, M::Create, false},     {M::Read, M::ReadWrite, false},
      {M::Create, M::Read, false},    {M::Create, M::Create, false},   {M::ReadWrite, M::ReadWrite, false},
      {M::ReadWrite, M::Read, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.first) << " then " << static_cast<int>(c.second));
    WriteFile(path, "keep me");
    RiffFile first, second;
    ASSERT_TRUE(first.Open(path.string(), c.first));
    EXPECT_EQ(second.Open(path.string(), c.second), c.opens);
    if (c.first != M::Create) {
      EXPECT_EQ(ReadFile(path), "keep me");  // a refused Create truncated nothing
    }
    first.Close();
    second.Close();
    EXPECT_TRUE(second.Open(path.string(), c.second));  // free again once the first is closed
  }
}

}  // namespace
}  // namespace vowelscope
