#include "base/Stringutilities.h"

#include <cstdarg>
#include <cstdio>

namespace vowelscope {

std::string FormatString(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<std::size_t>(length));
    // The terminating NUL lands on text[length], which a std::string always provides.
    std::vsnprintf(text.data(), text.size() + 1, format, args);
  }
  va_end(args);
  return text;
}

namespace detail {

bool IsTrailByte(const std::string& text, std::size_t index, const platform::LeadByteTable& table) {
  std::size_t run = 0;
  while (run < index && table.IsLeadByte(static_cast<unsigned char>(text[index - run - 1]))) ++run;
  return run % 2 == 1;
}

void Split(const std::string& text, const std::string& delimiter, const std::string& quote, bool skipEmpty,
           std::list<std::string>& out, const platform::LeadByteTable& table) {
  out.clear();
  if (text.empty()) return;
  if (delimiter.empty()) {
    // Nothing to split at; an empty delimiter would otherwise match everywhere without moving on.
    out.push_back(text);
    return;
  }

  const std::size_t size = text.size();
  std::size_t start = 0;
  std::size_t i = 0;
  bool inQuote = false;
  while (i < size) {
    if (!quote.empty() && text.compare(i, quote.size(), quote) == 0) {
      if (!inQuote && i == start) {
        inQuote = true;
      } else if (inQuote) {
        inQuote = false;
      }
      ++i;
    } else if (!inQuote && text.compare(i, delimiter.size(), delimiter) == 0) {
      if (i > start || !skipEmpty) out.push_back(text.substr(start, i - start));
      i += delimiter.size();
      start = i;
    } else if (table.IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < size) {
      i += 2;
    } else {
      ++i;
    }
  }
  if (start < size || !skipEmpty) out.push_back(start < size ? text.substr(start) : std::string());
}

namespace {

// Index of the last occurrence of c that is not the second byte of a double-byte character, or npos.
std::size_t FindLast(const std::string& text, char c, const platform::LeadByteTable& table) {
  for (std::size_t i = text.size(); i-- > 0;) {
    if (text[i] == c && !IsTrailByte(text, i, table)) return i;
  }
  return std::string::npos;
}

bool EndsWithSeparator(const std::string& path, char separator, const platform::LeadByteTable& table) {
  return !path.empty() && path.back() == separator && !IsTrailByte(path, path.size() - 1, table);
}

}  // namespace

std::string GetDirectoryPart(const std::string& path, char separator, const platform::LeadByteTable& table) {
  const std::size_t last = FindLast(path, separator, table);
  return last == std::string::npos ? std::string() : path.substr(0, last);
}

std::string GetFileNamePart(const std::string& path, char separator, const platform::LeadByteTable& table) {
  const std::size_t last = FindLast(path, separator, table);
  return last == std::string::npos ? path : path.substr(last + 1);
}

std::string ChangeExtension(const std::string& path, const std::string& ext, char separator,
                            const platform::LeadByteTable& table) {
  std::string name = GetFileNamePart(path, separator, table);
  const std::size_t dot = FindLast(name, '.', table);
  if (dot != std::string::npos) name.erase(dot);
  // Keyed on the separator rather than on an empty folder part, so that a file directly in the root
  // ("/take1.wav") keeps its folder.
  if (FindLast(path, separator, table) == std::string::npos) return name + ext;
  return GetDirectoryPart(path, separator, table) + separator + name + ext;
}

std::string IncludeTrailingSeparator(const std::string& path, char separator, const platform::LeadByteTable& table) {
  if (path.empty() || EndsWithSeparator(path, separator, table)) return path;
  return path + separator;
}

std::string ExcludeTrailingSeparator(const std::string& path, char separator, const platform::LeadByteTable& table) {
  if (!EndsWithSeparator(path, separator, table)) return path;
  return path.substr(0, path.size() - 1);
}

}  // namespace detail

void Split(const std::string& text, const std::string& delimiter, const std::string& quote, bool skipEmpty,
           std::list<std::string>& out) {
  detail::Split(text, delimiter, quote, skipEmpty, out, platform::LeadByteTable::Current());
}

std::string GetDirectoryPart(const std::string& path) {
  return detail::GetDirectoryPart(path, kPathSeparator, platform::LeadByteTable::Current());
}

std::string GetFileNamePart(const std::string& path) {
  return detail::GetFileNamePart(path, kPathSeparator, platform::LeadByteTable::Current());
}

std::string ChangeExtension(const std::string& path, const std::string& ext) {
  return detail::ChangeExtension(path, ext, kPathSeparator, platform::LeadByteTable::Current());
}

std::string IncludeTrailingSeparator(const std::string& path) {
  return detail::IncludeTrailingSeparator(path, kPathSeparator, platform::LeadByteTable::Current());
}

std::string ExcludeTrailingSeparator(const std::string& path) {
  return detail::ExcludeTrailingSeparator(path, kPathSeparator, platform::LeadByteTable::Current());
}

}  // namespace vowelscope
