#pragma once
// Private-profile INI files: keyed reads with defaults and in-place writes that keep the rest of the file.
//
// File layout understood here: "[Section]" lines open a section, "key=value" lines inside it hold values,
// lines starting with ';' are comments, anything else is kept but carries no value. Section and key names
// are compared without regard to ASCII letter case, and the blanks around names and values are dropped.
// When a section or a key occurs more than once, the first one counts, for reading and for writing alike.
// Lines may end in LF or CR LF (a file keeps its own style when written); a last line without a line end,
// very long lines and arbitrary bytes (NUL included) are read without harm.
//
// A file is parsed once and kept in a small cache keyed by path and the file's identity, size and times, so
// reading many keys of one file costs one parse. A file changed in the last few seconds, when its times
// cannot tell one change from the next, is compared byte for byte before its parse is used again. Every
// write reads the file afresh, goes to a temporary file in the same folder and renames that over the
// original, so an interrupted write never leaves half a file.
//
// The functions may be called from any thread; the cache is guarded by a lock.

#include <cstddef>
#include <string>

namespace vowelscope {

// The value of (section, key) read as a decimal integer: leading blanks skipped, an optional sign, then the
// digits up to the first other byte (none: 0); magnitudes beyond 32 bits saturate, and the unsigned 32-bit
// result is taken as an int, so a value written as "%u" of a negative int reads back as that int.
// A missing file, section or key, or an empty value, gives defaultValue.
int GetProfileInt(const std::string& section, const std::string& key, int defaultValue,
                  const std::string& fileName);

// Copies the value of (section, key), or defaultValue when the file, the section or the key is missing, into
// buffer (size bytes), cut to size - 1 bytes and always NUL-terminated when size > 0. Returns the number of
// bytes copied, without the NUL.
std::size_t GetProfileString(const std::string& section, const std::string& key, const std::string& defaultValue,
                             char* buffer, std::size_t size, const std::string& fileName);

// Sets (section, key) to value: replaces the first such key's value in place, or adds the key at the end of
// the section's keys, or adds the section at the end of the file, creating the file when it does not exist.
// Everything else in the file (comments, blank lines, order, other keys) stays as it was. Returns false,
// leaving the old file untouched, when the file cannot be replaced: its folder is missing or not writable,
// the file is read-only or a directory, or the disk refuses the data. Names or a value that would break the
// line structure (a line end or NUL anywhere, ']' in the section, '=' in the key, an empty name) are refused.
bool WriteProfileString(const std::string& section, const std::string& key, const std::string& value,
                        const std::string& fileName);

// How many times a file has been read and parsed since the program started; a cached read does not count.
std::size_t ProfileParseCount();

}  // namespace vowelscope
