#pragma once
// Formatting, field splitting and path taking-apart on 8-bit strings in the system encoding. The
// path scans never take the second byte of a double-byte character for a separator or a dot.

#include <cstddef>
#include <list>
#include <string>

#include "platform/Codepage.h"

namespace vowelscope {

inline constexpr char kPathSeparator = '/';

// printf-style formatting with the C library's number formatting; empty when the format or an
// argument cannot be encoded.
std::string FormatString(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Splits text at every occurrence of delimiter into out (cleared first). A field that opens with the
// quote string runs to the next quote string, delimiters inside it included; quotes stay in the field.
// Empty fields are kept unless skipEmpty is set. An empty text gives no fields; an empty delimiter
// splits nothing (the whole text is one field).
void Split(const std::string& text, const std::string& delimiter, const std::string& quote, bool skipEmpty,
           std::list<std::string>& out);

// Everything before the last separator, without it; empty when there is none.
std::string GetDirectoryPart(const std::string& path);
// Everything after the last separator; the whole path when there is none.
std::string GetFileNamePart(const std::string& path);
// Replaces the file name's last extension (from its last dot) with ext, which brings its own dot.
// "a.b.wav" with ".f0" gives "a.b.f0"; the folder part is left alone even when it contains dots.
std::string ChangeExtension(const std::string& path, const std::string& ext);
// Appends a separator unless the path is empty or already ends with one.
std::string IncludeTrailingSeparator(const std::string& path);
// Removes one trailing separator, if there is one.
std::string ExcludeTrailingSeparator(const std::string& path);

// The same operations with the separator and the lead-byte table given, so that the scans can be
// checked with a double-byte table and a backslash separator whatever this process runs with.
namespace detail {

// Whether the byte at index is the second byte of a double-byte character: the run of lead bytes
// right before it has odd length.
bool IsTrailByte(const std::string& text, std::size_t index, const platform::LeadByteTable& table);

void Split(const std::string& text, const std::string& delimiter, const std::string& quote, bool skipEmpty,
           std::list<std::string>& out, const platform::LeadByteTable& table);
std::string GetDirectoryPart(const std::string& path, char separator, const platform::LeadByteTable& table);
std::string GetFileNamePart(const std::string& path, char separator, const platform::LeadByteTable& table);
std::string ChangeExtension(const std::string& path, const std::string& ext, char separator,
                            const platform::LeadByteTable& table);
std::string IncludeTrailingSeparator(const std::string& path, char separator, const platform::LeadByteTable& table);
std::string ExcludeTrailingSeparator(const std::string& path, char separator, const platform::LeadByteTable& table);

}  // namespace detail
}  // namespace vowelscope
