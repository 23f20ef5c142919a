#pragma once
// A scratch folder of the running test's own and the whole-file helpers the tests use on what they put
// in it. ctest runs every test as its own process, side by side, so no two tests may share a folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace vowelscope::testsupport {

// VOWELSCOPE_TEST_TMP/<group>/<suite>.<test>, emptied and made afresh; the '/' of parameterised names is
// turned into '_' so that each test's folder sits beside the others, never inside one of them.
inline std::filesystem::path TestFolder(const std::string& group) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : name) c = c == '/' ? '_' : c;
  const std::filesystem::path dir = std::filesystem::path(VOWELSCOPE_TEST_TMP) / group / name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

// Replaces the file's content by `bytes`, as they are.
inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The file's bytes; empty when it cannot be read.
inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace vowelscope::testsupport
