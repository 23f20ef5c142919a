// Arbitrary bytes taken as an INI file: Settings load it, the profile reads every settings key, and one
// profile write goes into it. Besides memory faults it checks what must hold for any file: a write that
// succeeds reads back as written and leaves every other key as it was; a refused write leaves the bytes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Fuzzsupport.h"
#include "config/Settings.h"
#include "platform/Profile.h"

namespace {

namespace fs = std::filesystem;

using vowelscope::fuzz::Check;

const fs::path& Scratch() { return vowelscope::fuzz::ScratchFolder("fuzz_ini"); }

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string ReadValue(const std::string& section, const std::string& key, const std::string& file) {
  static std::vector<char> buffer(4096);
  const std::size_t n = vowelscope::GetProfileString(section, key, "\x01none", buffer.data(), buffer.size(), file);
  Check(n < buffer.size() && buffer[n] == '\0');
  return std::string(buffer.data(), n);
}

// A name as the profile compares it: without surrounding blanks and ASCII case.
std::string Normal(std::string s) {
  const auto first = s.find_first_not_of(" \t\r\v\f");
  s = first == std::string::npos ? std::string() : s.substr(first, s.find_last_not_of(" \t\r\v\f") - first + 1);
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

struct Key {
  const char* section;
  const char* key;
};

const Key kKeys[] = {
    {"Formant", "PreEmphasis"}, {"Formant", "Order"},
    {"Formant", "PowerThreshold"}, {"Formant", "BandWidth"},
    {"Formant", "F1DisplayMinFrequency"}, {"Formant", "F1DisplayMaxFrequency"},
    {"Formant", "F2DisplayMinFrequency"}, {"Formant", "F2DisplayMaxFrequency"},
    {"F0", "FrameShift"}, {"F0", "MinFrequency"},
    {"F0", "MaxFrequency"}, {"F0", "PowerThreshold"},
    {"F0", "DisplayMinFrequency"}, {"F0", "DisplayMaxFrequency"},
    {"View", "SwapXY"}, {"View", "F1Reverse"},
    {"View", "F2Reverse"}, {"Record", "MaxRecordMinute"},
    {"Regions", "CurrentRegions"}, {"Extra", "Key"},
};
constexpr std::size_t kKeyCount = sizeof kKeys / sizeof kKeys[0];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vowelscope;
  const std::string file = (Scratch() / "Settings.ini").string();
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  if (!fuzz::WriteInput(file, data, size)) return 0;

  Settings settings(file);
  Check(settings.Load());
  (void)GetProfileInt("Formant", "Order", 16, file);

  // The write goes to a settings key chosen by the first byte, or, with its high bit set, to names cut from
  // the input, which may hold anything a line can not.
  std::string section = "Formant", key = "Order";
  if (size > 0) {
    const Key& k = kKeys[data[0] % kKeyCount];
    section = k.section;
    key = k.key;
    if ((data[0] & 0x80) != 0 && size > 3) {
      const std::size_t sectionLength = 1 + data[1] % 6, keyLength = 1 + data[2] % 6;
      section = bytes.substr(3, sectionLength);
      key = bytes.substr(std::min(size, 3 + sectionLength), keyLength);
    }
  }
  std::vector<std::string> before;
  for (const Key& k : kKeys) before.push_back(ReadValue(k.section, k.key, file));

  const std::string value = "fuzz-value";
  if (WriteProfileString(section, key, value, file)) {
    Check(ReadValue(section, key, file) == value);
    for (std::size_t i = 0; i < kKeyCount; ++i) {
      const bool same = Normal(kKeys[i].section) == Normal(section) && Normal(kKeys[i].key) == Normal(key);
      if (!same) Check(ReadValue(kKeys[i].section, kKeys[i].key, file) == before[i]);
    }
  } else {
    Check(Slurp(file) == bytes);
  }
  return 0;
}
