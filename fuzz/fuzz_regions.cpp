// Arbitrary bytes taken as a region file: a Regions set loads it and a RegionsList scans its folder.
// Besides memory faults it checks that a set always has its fifty regions, that cut strings fit the read
// buffer, and that the set agrees with the profile reads of the same keys.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "config/Regionslist.h"
#include "platform/Profile.h"

namespace {

namespace fs = std::filesystem;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

const fs::path& Scratch() {
  static const fs::path dir = [] {
    const fs::path root = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    const fs::path d = root / ("fuzz_regions-" + std::to_string(std::random_device{}()));
    fs::create_directories(d);
    std::atexit([] { fs::remove_all(Scratch()); });
    return d;
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vowelscope;
  const std::string file = (Scratch() / "set.ini").string();
  std::ofstream(file, std::ios::binary | std::ios::trunc) << std::string(reinterpret_cast<const char*>(data), size);

  Regions set(file);
  Check(set.Load());
  Check(set.GetCaption().size() < 4096);
  Check(set.GetRegionCount() == 50);
  for (int i = 0; i < set.GetRegionCount(); ++i) {
    const FrequencyRegion* r = set.GetRegion(i);
    Check(r != nullptr);
    Check(r->Caption.size() < 4096);
    const std::string section = "Region" + std::to_string(i);
    Check(r->F1Center == GetProfileInt(section, "F1Center", 0, file));
    Check(r->Color == GetProfileInt(section, "Color", 0x403030, file));
    Check(r->Enabled == (GetProfileInt(section, "Enabled", 0, file) != 0));
  }
  Check(set.GetRegion(50) == nullptr);

  RegionsList list(Scratch().string());
  list.Scan();
  Check(list.GetCount() == 1);
  Check(list.GetItem(0)->GetCaption() == set.GetCaption());
  return 0;
}
