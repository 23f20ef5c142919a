#include "base/Fileutilities.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "base/Stringutilities.h"
#include "platform/Filesystem.h"

namespace vowelscope {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The folder part, with the root folder itself standing for the parent of its direct children.
std::string ParentFolder(const std::string& path) {
  std::string parent = GetDirectoryPart(path);
  if (parent.empty() && !path.empty() && path.front() == kPathSeparator) parent = std::string(1, kPathSeparator);
  return parent;
}

}  // namespace

bool ReadLines(const std::string& path, std::list<std::string>& out) {
  out.clear();
  FilePtr file(platform::OpenRegularFileForReading(path));
  if (!file) return false;

  // Read as bytes and end lines ourselves: CR LF and LF are both line ends, a lone CR is text.
  std::string line;
  std::vector<char> buffer(4096);
  for (;;) {
    const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), file.get());
    for (std::size_t i = 0; i < n; ++i) {
      const char c = buffer[i];
      if (c == '\n') {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(std::move(line));
        line.clear();
      } else {
        line += c;
      }
    }
    if (n < buffer.size()) break;
  }
  // A read error (a folder given as the file, a failing device) must not pass for a shorter file.
  if (std::ferror(file.get())) {
    out.clear();
    return false;
  }
  out.push_back(std::move(line));
  return true;
}

LineReadResult ForEachLine(const std::string& path, std::size_t maxLineLength,
                           const std::function<bool(std::string_view)>& onLine) {
  platform::FileError error = platform::FileError::None;
  FilePtr file(platform::OpenRegularFileForReading(path, &error));
  if (!file) return error == platform::FileError::NotRegular ? LineReadResult::NotRegularFile : LineReadResult::CannotOpen;

  std::string line;
  std::vector<char> buffer(64 * 1024);
  bool afterCr = false;  // the LF of a CR LF may come in the next read
  for (;;) {
    const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), file.get());
    const char* p = buffer.data();
    const char* const end = p + n;
    while (p < end) {
      if (afterCr && *p == '\n') ++p;
      afterCr = false;
      const char* stop = p;
      while (stop < end && *stop != '\n' && *stop != '\r') ++stop;
      if (line.size() + static_cast<std::size_t>(stop - p) > maxLineLength) return LineReadResult::LineTooLong;
      if (stop == end) {
        line.append(p, stop);
        break;
      }
      afterCr = *stop == '\r';
      if (line.empty()) {
        if (!onLine(std::string_view(p, static_cast<std::size_t>(stop - p)))) return LineReadResult::Stopped;
      } else {
        line.append(p, stop);
        if (!onLine(line)) return LineReadResult::Stopped;
        line.clear();
      }
      p = stop + 1;
    }
    if (n < buffer.size()) break;
  }
  if (std::ferror(file.get())) return LineReadResult::ReadError;
  return onLine(line) ? LineReadResult::Done : LineReadResult::Stopped;
}

bool WriteLines(const std::string& path, const std::list<std::string>& lines) {
  std::string temporary;
  FilePtr file(platform::CreateFileBeside(path, temporary));
  if (!file) return false;

  bool ok = true;
  for (const std::string& line : lines) {
    if (std::fwrite(line.data(), 1, line.size(), file.get()) != line.size() ||
        std::fwrite("\r\n", 1, 2, file.get()) != 2 || std::fflush(file.get()) != 0) {
      ok = false;
      break;
    }
  }
  ok = ok && platform::SyncFile(file.get());
  // A failing close may be the first report of a write that did not reach the disk.
  ok = (std::fclose(file.release()) == 0) && ok;
  ok = ok && std::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) std::remove(temporary.c_str());
  return ok;
}

bool FileExists(const std::string& path) { return platform::GetPathType(path) == platform::PathType::File; }

bool DirectoryExists(const std::string& path) {
  return platform::GetPathType(path) == platform::PathType::Directory;
}

bool ForceDirectories(const std::string& path) {
  const std::string p = ExcludeTrailingSeparator(path);
  if (p.empty()) return !path.empty() && DirectoryExists(path);  // the root folder alone
  if (FileExists(p)) return ForceDirectories(ParentFolder(p));
  if (DirectoryExists(p)) return true;

  const std::string parent = ParentFolder(p);
  if (parent.empty()) return false;
  if (!ForceDirectories(parent)) return false;
  return platform::MakeDirectory(p);
}

bool FindFiles(const std::string& folder, std::list<std::string>& out, int depth, const std::string& pattern) {
  if (!DirectoryExists(folder)) return false;
  const std::string base = IncludeTrailingSeparator(folder);

  std::vector<platform::DirectoryEntry> matches;
  if (!platform::ListDirectory(folder, pattern, matches)) return false;
  for (const auto& entry : matches) {
    if (!entry.directory) out.push_back(base + entry.name);
  }

  if (depth != 0) {
    std::vector<platform::DirectoryEntry> all;
    if (!platform::ListDirectory(folder, "*", all)) return false;
    for (const auto& entry : all) {
      // A linked folder is not entered: a link back up the tree would never end.
      if (!entry.directory || entry.symbolicLink || entry.name == "." || entry.name == "..") continue;
      FindFiles(base + entry.name, out, depth < 0 ? -1 : depth - 1, pattern);
    }
  }
  return true;
}

std::string GetSpecialFolderPath(int csidl) {
  if (csidl == CSIDL_APPDATA) return platform::GetApplicationDataFolder();
  return "";
}

std::string GetExecutableFolder() {
  const std::string executable = platform::GetExecutablePath();
  if (executable.empty()) return "";
  return ParentFolder(executable);
}

}  // namespace vowelscope
