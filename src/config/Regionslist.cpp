#include "config/Regionslist.h"

#include <filesystem>
#include <list>
#include <system_error>
#include <stdexcept>
#include <utility>

#include "base/Error.h"
#include "base/Fileutilities.h"
#include "base/Stringutilities.h"
#include "config/Guideset.h"

namespace vowelscope {

Regions::Regions(std::string fileName) : properties(std::move(fileName)) {
  properties.Add(AppIniPropertyString("Information", "Caption", &caption));
  for (int i = 0; i < kRegionCount; ++i) {
    const std::string section = FormatString("Region%d", i);
    FrequencyRegion& r = regions[static_cast<std::size_t>(i)];
    properties.Add(AppIniPropertyBool(section, "Enabled", &r.Enabled));
    properties.Add(AppIniPropertyString(section, "Caption", &r.Caption));
    properties.Add(AppIniPropertyInteger(section, "F1Center", &r.F1Center));
    properties.Add(AppIniPropertyInteger(section, "F2Center", &r.F2Center));
    properties.Add(AppIniPropertyInteger(section, "F1Length", &r.F1Length));
    properties.Add(AppIniPropertyInteger(section, "F2Length", &r.F2Length));
    properties.Add(AppIniPropertyInteger(section, "Angle", &r.Angle));
    properties.Add(AppIniPropertyInteger(section, "Color", &r.Color));
  }
}

bool Regions::Load() { return properties.Load(); }

FrequencyRegion* Regions::GetRegion(int i) {
  if (i < 0 || i >= kRegionCount) return nullptr;
  return &regions[static_cast<std::size_t>(i)];
}

const FrequencyRegion* Regions::GetRegion(int i) const {
  if (i < 0 || i >= kRegionCount) return nullptr;
  return &regions[static_cast<std::size_t>(i)];
}

namespace {

// Empty when the executable's folder is unknown, so that Scan reports the folder missing rather than
// searching wherever the process happens to run.
std::string DefaultFolder() {
  const std::string exeFolder = GetExecutableFolder();
  return exeFolder.empty() ? std::string() : IncludeTrailingSeparator(exeFolder) + "regions";
}

}  // namespace

RegionsList::RegionsList() : RegionsList(DefaultFolder(), UserRegionsFolder()) {}

RegionsList::RegionsList(const std::string& folder, const std::string& userFolder)
    : folder(folder), userFolder(userFolder) {}

void RegionsList::Scan() {
  const bool shipped = ScanFolder(folder, false);
  // The user's own sets do not depend on the installation: they are listed even when its folder is gone.
  if (!userFolder.empty() && DirectoryExists(userFolder)) ScanFolder(userFolder, true);
  if (!shipped) throw Error("母音領域ファイルが見つかりません。");
}

bool RegionsList::ScanFolder(const std::string& from, bool user) {
  std::list<std::string> paths;
  if (!FindFiles(from, paths, 0, "*.ini")) return false;
  for (const std::string& path : paths) {
    if (GetCount() >= kMaxSets) break;
    // Only a regular file has a size to go by; anything else is never read (see Profile) and stays
    // an empty set.
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error) && std::filesystem::file_size(path, error) > kMaxFileBytes) {
      continue;
    }
    auto set = std::make_unique<Regions>(path);
    set->Load();
    sets.push_back(std::move(set));
    userSets.push_back(user);
  }
  return true;
}

bool RegionsList::IsUserSet(int index) const {
  return index >= 0 && index < GetCount() && userSets[static_cast<std::size_t>(index)];
}

bool RegionsList::Remove(int index) {
  if (!IsUserSet(index)) return false;
  // A file someone else deleted already is as good as removed: only a file that stays keeps its set.
  std::error_code error;
  std::filesystem::remove(GetItem(index)->GetFileName(), error);
  if (error) return false;
  sets.erase(sets.begin() + index);
  userSets.erase(userSets.begin() + index);
  return true;
}

int RegionsList::AddUserSet(const std::string& path) {
  if (GetCount() >= kMaxSets) return -1;
  auto set = std::make_unique<Regions>(path);
  set->Load();
  sets.push_back(std::move(set));
  userSets.push_back(true);
  return GetCount() - 1;
}

std::string RegionsList::GetSelectorCaption(int index) const {
  const std::string& caption = GetItem(index)->GetCaption();
  for (int i = 0; i < index; ++i) {
    if (sets[static_cast<std::size_t>(i)]->GetCaption() == caption) {
      return caption + " (" + GetFileNamePart(GetItem(index)->GetFileName()) + ")";
    }
  }
  return caption;
}

Regions* RegionsList::GetItem(int index) const {
  if (index < 0 || index >= GetCount()) throw std::out_of_range("RegionsList::GetItem");
  return sets[static_cast<std::size_t>(index)].get();
}

int RegionsList::FindCaption(const std::string& caption) const {
  for (int i = GetCount() - 1; i >= 0; --i) {
    if (GetSelectorCaption(i) == caption) return i;
  }
  return -1;
}

}  // namespace vowelscope
