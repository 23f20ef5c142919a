#pragma once
// Vowel guides: elliptical areas of the F1-F2 plane drawn under the live formant trail. A guide set is one
// read-only INI file holding a caption ([Information] Caption) and up to 50 regions ([Region0] ...
// [Region49]); RegionsList loads every *.ini of the regions folder beside the program once at start-up,
// then the user's own sets (made from recordings) from the user's folder, read by the same reader.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config/Appiniproperty.h"

namespace vowelscope {

// One ellipse. Every key of a region section is optional, so a region without Enabled stays hidden.
struct FrequencyRegion {
  bool Enabled = false;
  std::string Caption;  // the vowel's name, drawn at the centre of its ellipse
  int F1Center = 0;     // Hz
  int F2Center = 0;     // Hz
  int F1Length = 0;     // Hz, semi-axis along F1
  int F2Length = 0;     // Hz, semi-axis along F2
  int Angle = 0;        // degrees; positive turns the ellipse clockwise on screen
  int Color = 0x403030;  // outline and fill: red in bits 0-7, green 8-15, blue 16-23
};

// One guide set, bound to its file.
class Regions {
 public:
  static constexpr int kRegionCount = 50;

  // Registers the 401 keys of the file; nothing is read.
  explicit Regions(std::string fileName);
  Regions(const Regions&) = delete;
  Regions& operator=(const Regions&) = delete;
  virtual ~Regions() = default;

  // False when the file does not exist; values read are taken as they stand.
  bool Load();

  const std::string& GetCaption() const { return caption; }
  const std::string& GetFileName() const { return properties.GetFileName(); }
  int GetRegionCount() const { return kRegionCount; }
  // Region i (0 ... 49); null for any other index.
  FrequencyRegion* GetRegion(int i);
  const FrequencyRegion* GetRegion(int i) const;

 private:
  std::string caption;
  AppIniPropertyList properties;
  std::array<FrequencyRegion, kRegionCount> regions;
};

// Every guide set of the regions folder, in the order the folder lists them (by file name), then those
// of the user's folder in the same order.
class RegionsList {
 public:
  // The folder "regions" beside the executable and the user's folder (UserRegionsFolder); nothing is read.
  RegionsList();
  // Another folder (the batch tool's option, tests), and a user folder (empty: none); nothing is read.
  explicit RegionsList(const std::string& folder, const std::string& userFolder = std::string());
  RegionsList(const RegionsList&) = delete;
  RegionsList& operator=(const RegionsList&) = delete;
  virtual ~RegionsList() = default;

  // Loads the *.ini files directly in the folder and appends one set per file; a file that cannot be read
  // still gives a set (empty caption, every region hidden). An empty folder adds nothing. Throws Error
  // ("母音領域ファイルが見つかりません。"), adding nothing, when the folder cannot be searched. At most
  // kMaxSets sets are taken, in listing order, and files over kMaxFileBytes (no guide set is near it)
  // are skipped, so a crowded folder cannot hold up the start. The user folder's sets follow within
  // the same limits; a user folder that is missing or cannot be searched adds nothing and is no error.
  // When the program's folder cannot be searched, its sets are missing but the user's are still added
  // before the Error is thrown.
  void Scan();

  // True for a set read from the user folder: only those can be removed.
  bool IsUserSet(int index) const;
  // Deletes a user set's file and drops it from the list (later sets move up one index); a file already
  // gone drops the set too. False, with the set still listed, for a shipped set, an index out of range
  // or a file that cannot be deleted.
  bool Remove(int index);
  // Reads a set just written into the user folder and appends it; its index, or -1 when the list is full.
  int AddUserSet(const std::string& path);

  static constexpr int kMaxSets = 200;
  static constexpr uintmax_t kMaxFileBytes = 1024 * 1024;

  int GetCount() const { return static_cast<int>(sets.size()); }
  // The set at index; throws std::out_of_range outside 0 ... GetCount() - 1.
  Regions* GetItem(int index) const;
  // What the guide selector shows for set index: its caption, and for a set whose caption an earlier
  // set already has, the caption with its file name ("caption (file.ini)"), so that every set can be
  // told apart and picked.
  std::string GetSelectorCaption(int index) const;
  // The index of the last set whose selector caption equals caption byte for byte; -1 when none does.
  int FindCaption(const std::string& caption) const;
  const std::string& GetFolder() const { return folder; }
  const std::string& GetUserFolder() const { return userFolder; }

 private:
  // Appends the sets of the folder's files up to the limits; false when the folder cannot be searched.
  bool ScanFolder(const std::string& from, bool user);

  std::string folder;
  std::string userFolder;
  std::vector<std::unique_ptr<Regions>> sets;
  std::vector<bool> userSets;  // beside sets
};

}  // namespace vowelscope
