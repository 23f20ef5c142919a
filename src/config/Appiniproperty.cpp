#include "config/Appiniproperty.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <string_view>
#include <vector>

#include "base/Fileutilities.h"
#include "platform/Profile.h"

namespace vowelscope {
namespace {

constexpr std::size_t kReadBufferSize = 4096;

std::string ReadString(const std::string& section, const std::string& key, const std::string& defaultValue,
                       const char* fileName) {
  std::vector<char> buffer(kReadBufferSize);
  GetProfileString(section, key, defaultValue, buffer.data(), buffer.size(), fileName);
  // A NUL byte inside the value ends it, as it would for any C string.
  return std::string(buffer.data());
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// from_chars reports a number outside the range of double instead of giving strtod's ±inf or 0; decide
// which it is from the decimal exponent of the text.
double OutOfRange(std::string_view number, bool negative) {
  long long magnitude = 0;
  std::size_t i = 0;
  bool seenNonZero = false;
  for (; i < number.size() && IsDigit(number[i]); ++i) {
    if (number[i] != '0') seenNonZero = true;
    if (seenNonZero) ++magnitude;
  }
  if (i < number.size() && number[i] == '.') {
    for (++i; i < number.size() && IsDigit(number[i]); ++i) {
      if (seenNonZero) continue;
      if (number[i] != '0') {
        seenNonZero = true;
      } else {
        --magnitude;
      }
    }
  }
  long long exponent = 0;
  if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
    ++i;
    bool negativeExponent = false;
    if (i < number.size() && (number[i] == '+' || number[i] == '-')) negativeExponent = number[i++] == '-';
    for (; i < number.size() && IsDigit(number[i]); ++i) {
      if (exponent < 100000000) exponent = exponent * 10 + (number[i] - '0');
    }
    if (negativeExponent) exponent = -exponent;
  }
  const double result = magnitude + exponent > 0 ? HUGE_VAL : 0.0;
  return negative ? -result : result;
}

}  // namespace

std::string FormatFloatProperty(double value) {
  char text[400];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
  if (ec != std::errc()) return "0.000000";
  return std::string(text, end);
}

double ParseFloatProperty(const std::string& text) {
  std::string_view s = text;
  while (!s.empty() && (s.front() == ' ' || (s.front() >= '\t' && s.front() <= '\r'))) s.remove_prefix(1);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  auto format = std::chars_format::general;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X') &&
      (std::isxdigit(static_cast<unsigned char>(s[2])) || (s[2] == '.' && s.size() > 3 &&
                                                           std::isxdigit(static_cast<unsigned char>(s[3]))))) {
    format = std::chars_format::hex;
    s.remove_prefix(2);
  }
  // from_chars would take a second sign as part of the number; strtod does not.
  if (s.empty() || s.front() == '-' || s.front() == '+') return 0.0;
  double value = 0.0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, format);
  if (ec == std::errc::result_out_of_range) {
    if (format == std::chars_format::hex) return negative ? -HUGE_VAL : HUGE_VAL;
    return OutOfRange(s.substr(0, static_cast<std::size_t>(end - s.data())), negative);
  }
  if (ec != std::errc()) return 0.0;
  return negative ? -value : value;
}

bool AppIniPropertyInteger::Read(const char* fileName) {
  int* v = static_cast<int*>(value);
  *v = GetProfileInt(section, key, *v, fileName);
  return true;
}

bool AppIniPropertyInteger::Write(const char* fileName) {
  const int v = *static_cast<const int*>(value);
  return WriteProfileString(section, key, std::to_string(static_cast<unsigned>(v)), fileName);
}

std::unique_ptr<AppProperty> AppIniPropertyInteger::Clone() const {
  return std::make_unique<AppIniPropertyInteger>(*this);
}

bool AppIniPropertyBool::Read(const char* fileName) {
  bool* v = static_cast<bool*>(value);
  *v = GetProfileInt(section, key, *v ? 1 : 0, fileName) != 0;
  return true;
}

bool AppIniPropertyBool::Write(const char* fileName) {
  return WriteProfileString(section, key, *static_cast<const bool*>(value) ? "1" : "0", fileName);
}

std::unique_ptr<AppProperty> AppIniPropertyBool::Clone() const { return std::make_unique<AppIniPropertyBool>(*this); }

bool AppIniPropertyFloat::Read(const char* fileName) {
  double* v = static_cast<double*>(value);
  *v = ParseFloatProperty(ReadString(section, key, FormatFloatProperty(*v), fileName));
  return true;
}

bool AppIniPropertyFloat::Write(const char* fileName) {
  return WriteProfileString(section, key, FormatFloatProperty(*static_cast<const double*>(value)), fileName);
}

std::unique_ptr<AppProperty> AppIniPropertyFloat::Clone() const {
  return std::make_unique<AppIniPropertyFloat>(*this);
}

bool AppIniPropertyString::Read(const char* fileName) {
  std::string* v = static_cast<std::string*>(value);
  *v = ReadString(section, key, *v, fileName);
  return true;
}

bool AppIniPropertyString::Write(const char* fileName) {
  return WriteProfileString(section, key, *static_cast<const std::string*>(value), fileName);
}

std::unique_ptr<AppProperty> AppIniPropertyString::Clone() const {
  return std::make_unique<AppIniPropertyString>(*this);
}

bool AppIniPropertyList::Load() {
  if (!FileExists(fileName)) return false;
  return ReadAll(fileName.c_str());
}

bool AppIniPropertyList::Save() { return WriteAll(fileName.c_str()); }

}  // namespace vowelscope
