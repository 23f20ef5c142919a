#pragma once
// What the fuzz targets share: the check that stops a run at a fault, and scratch files and folders of
// their own per fuzzing process (so that parallel jobs never share one), removed at exit.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace vowelscope::fuzz {

inline void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// A file named <stem>.<random number><extension> in the temporary folder.
struct ScratchFile {
  std::string path;
  ScratchFile(const std::string& stem, const std::string& extension) {
    std::random_device rd;
    path = (std::filesystem::temp_directory_path() / (stem + "." + std::to_string(rd()) + extension)).string();
  }
  ~ScratchFile() { std::remove(path.c_str()); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
};

// A folder named <stem>-<random number>, in memory (/dev/shm) where there is one, since every run writes
// into it; the name is fixed by the first call and the folder removed with all it holds at exit.
inline const std::filesystem::path& ScratchFolder(const std::string& stem) {
  static const std::filesystem::path dir = [&] {
    namespace fs = std::filesystem;
    const fs::path root = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    const fs::path d = root / (stem + "-" + std::to_string(std::random_device{}()));
    fs::create_directories(d);
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(dir, ignored);
    });
    return d;
  }();
  return dir;
}

// Replaces the file's content by the input; false when the file cannot be written.
inline bool WriteInput(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool written = size == 0 || std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && written;
}

}  // namespace vowelscope::fuzz
