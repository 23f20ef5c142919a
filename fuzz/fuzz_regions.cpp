// Arbitrary bytes taken as a region file: a Regions set loads it and a RegionsList scans its folder.
// Besides memory faults it checks that a set always has its fifty regions, that cut strings fit the read
// buffer, and that the set agrees with the profile reads of the same keys.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "Fuzzsupport.h"
#include "config/Regionslist.h"
#include "platform/Profile.h"

namespace {

namespace fs = std::filesystem;

using vowelscope::fuzz::Check;

const fs::path& Scratch() { return vowelscope::fuzz::ScratchFolder("fuzz_regions"); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vowelscope;
  const std::string file = (Scratch() / "set.ini").string();
  if (!vowelscope::fuzz::WriteInput(file, data, size)) return 0;

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
