#pragma once
// Properties stored as keys of an INI file, and the list that loads and saves them from one file.
//
// Text in the file, by type: Integer "%u" (a negative value is written as its unsigned 32-bit pattern and
// reads back as itself), Bool "1" or "0" (any non-zero number reads as true), Float six decimals
// ("0.980000"), String unchanged. Numbers are written and read with '.' as the decimal point whatever the
// process's locale. Strings and floats are read through a 4096-byte buffer, so longer values are cut.

#include <string>

#include "config/Appproperty.h"

namespace vowelscope {

class AppIniProperty : public AppProperty {
 public:
  ~AppIniProperty() override = default;

 protected:
  AppIniProperty(const std::string& section, const std::string& key, void* value)
      : AppProperty(value), section(section), key(key) {}
  AppIniProperty(const AppIniProperty&) = default;

  std::string section;
  std::string key;
};

class AppIniPropertyInteger : public AppIniProperty {
 public:
  AppIniPropertyInteger(const std::string& section, const std::string& key, int* value)
      : AppIniProperty(section, key, value) {}
  ~AppIniPropertyInteger() override = default;
  bool Read(const char* fileName) override;
  bool Write(const char* fileName) override;
  std::unique_ptr<AppProperty> Clone() const override;
};

class AppIniPropertyBool : public AppIniProperty {
 public:
  AppIniPropertyBool(const std::string& section, const std::string& key, bool* value)
      : AppIniProperty(section, key, value) {}
  ~AppIniPropertyBool() override = default;
  bool Read(const char* fileName) override;
  bool Write(const char* fileName) override;
  std::unique_ptr<AppProperty> Clone() const override;
};

class AppIniPropertyFloat : public AppIniProperty {
 public:
  AppIniPropertyFloat(const std::string& section, const std::string& key, double* value)
      : AppIniProperty(section, key, value) {}
  ~AppIniPropertyFloat() override = default;
  bool Read(const char* fileName) override;
  bool Write(const char* fileName) override;
  std::unique_ptr<AppProperty> Clone() const override;
};

class AppIniPropertyString : public AppIniProperty {
 public:
  AppIniPropertyString(const std::string& section, const std::string& key, std::string* value)
      : AppIniProperty(section, key, value) {}
  ~AppIniPropertyString() override = default;
  bool Read(const char* fileName) override;
  bool Write(const char* fileName) override;
  std::unique_ptr<AppProperty> Clone() const override;
};

// The properties of one INI file. Nothing is read or created until Load or Save.
class AppIniPropertyList : public AppPropertyList {
 public:
  explicit AppIniPropertyList(const std::string& fileName) : fileName(fileName) {}
  ~AppIniPropertyList() override = default;

  // False, with every variable unchanged, when the file does not exist or names a folder.
  bool Load() override;
  // Writes every property in order, creating the file, sections and keys as needed; stops with false at
  // the first key the file refuses (earlier keys stay written).
  bool Save() override;

  const std::string& GetFileName() const { return fileName; }

 private:
  std::string fileName;
};

// The "%f" text of value (six decimals, '.' as the decimal point).
std::string FormatFloatProperty(double value);
// The leading number of text as the C library's strtod reads it in the "C" locale (leading blanks, sign,
// decimal or exponent notation, inf, nan); 0.0 when text does not begin with a number.
double ParseFloatProperty(const std::string& text);

}  // namespace vowelscope
