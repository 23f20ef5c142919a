#pragma once
// What the file-reading fuzz targets share: a scratch file of their own per fuzzing process (so
// parallel jobs do not share one), removed at exit, and the check that stops a run at a fault.

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

namespace vowelscope::fuzz {

struct ScratchFile {
  std::string path;
  // The file is named <stem>.<random number><extension> in the temporary folder.
  ScratchFile(const std::string& stem, const std::string& extension) {
    std::random_device rd;
    path = (std::filesystem::temp_directory_path() / (stem + "." + std::to_string(rd()) + extension)).string();
  }
  ~ScratchFile() { std::remove(path.c_str()); }
};

inline void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace vowelscope::fuzz
