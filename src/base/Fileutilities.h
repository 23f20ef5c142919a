#pragma once
// Text files as lists of lines, folder creation and listing, and the folders the program keeps its
// files in. Failures come back as false or an empty string; nothing here throws.

#include <cstddef>
#include <functional>
#include <list>
#include <string>
#include <string_view>

namespace vowelscope {

// The special-folder number of the per-user application-data folder.
inline constexpr int CSIDL_APPDATA = 26;

// Reads every line of a text file into out (cleared first, also on failure). CR LF and a lone LF both
// end a line; lines may be of any length. The text after the last line end is the last line, so a
// file ending with a line end yields a last empty line and an empty file one empty line. False when
// the file cannot be opened or reading it fails (out is then left empty).
bool ReadLines(const std::string& path, std::list<std::string>& out);

// Why a line-by-line read ended.
enum class LineReadResult {
  Done,            // every line was handed over
  Stopped,         // the listener asked to stop
  CannotOpen,      // missing, or not readable
  NotRegularFile,  // a fifo, a socket or a device: never opened, since reading it could block or never end
  LineTooLong,     // a line longer than the limit
  ReadError,
};

// Reads a text file one line at a time, holding no more than the line at hand: each line, without its
// line end, goes to onLine, which returns false to stop. CR LF, LF and a lone CR each end a line (files
// edited on other systems); the text after the last line end is a last line, also when it is empty.
LineReadResult ForEachLine(const std::string& path, std::size_t maxLineLength,
                           const std::function<bool(std::string_view)>& onLine);

// Writes each line followed by CR LF. The text goes to a temporary file beside the target, which
// replaces the target only when everything was written, so a failed write leaves an existing file as it
// was. An empty list gives an empty file.
bool WriteLines(const std::string& path, const std::list<std::string>& lines);

// Whether the path names something that is not a folder.
bool FileExists(const std::string& path);
// Whether the path names a folder.
bool DirectoryExists(const std::string& path);

// Makes sure the folder exists, creating missing parents outermost first. A path that names an
// existing file makes sure that file's folder exists. A trailing separator is ignored.
bool ForceDirectories(const std::string& path);

// Appends the full path of every file in folder whose name matches pattern (files of a folder before
// those of its subfolders). depth 0 lists the folder alone, depth n also n levels of subfolders, a
// negative depth the whole tree; linked folders are not entered. False, with nothing appended, when
// the folder does not exist; false when its listing breaks off with an error.
bool FindFiles(const std::string& folder, std::list<std::string>& out, int depth, const std::string& pattern);

// The path of a special folder by its number; only CSIDL_APPDATA is known here. Empty when unknown.
std::string GetSpecialFolderPath(int csidl);

// The folder of the running executable, without a trailing separator; empty when unknown.
std::string GetExecutableFolder();

}  // namespace vowelscope
