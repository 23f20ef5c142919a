#include "platform/Filesystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>

namespace vowelscope::platform {

PathType GetPathType(const std::string& path) {
  struct stat info;
  if (path.empty() || ::stat(path.c_str(), &info) != 0) return PathType::Missing;
  return S_ISDIR(info.st_mode) ? PathType::Directory : PathType::File;
}

FileError FileErrorFromErrno(int error) {
  switch (error) {
    case 0: return FileError::None;
    case ENOENT:
    case ENOTDIR: return FileError::Missing;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return FileError::NoSpace;
    case EACCES:
    case EPERM:
    case EROFS: return FileError::NoAccess;
    case ENAMETOOLONG: return FileError::NameTooLong;
    case EISDIR: return FileError::Directory;
    case ENXIO:
    case ENODEV: return FileError::NotRegular;
    default: return FileError::Other;
  }
}

int OpenRegularFile(const std::string& path, int flags, FileError* error) {
  FileError ignored;
  FileError& cause = error != nullptr ? *error : ignored;
  cause = FileError::None;
  if (path.empty() || path.find('\0') != std::string::npos) {
    cause = FileError::Missing;
    return -1;
  }
  struct stat info;
  if (::stat(path.c_str(), &info) == 0) {
    if (!S_ISREG(info.st_mode)) {
      cause = S_ISDIR(info.st_mode) ? FileError::Directory : FileError::NotRegular;
      return -1;
    }
  } else if (errno != ENOENT || (flags & O_CREAT) == 0) {
    cause = FileErrorFromErrno(errno);
    return -1;
  }
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    cause = FileErrorFromErrno(errno);
    return -1;
  }
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    cause = FileError::NotRegular;
    return -1;
  }
  // Regular files never block anyway; clearing the flag keeps later reads and writes ordinary.
  const int status = ::fcntl(fd, F_GETFL);
  if (status >= 0) ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
  return fd;
}

std::FILE* OpenRegularFileForReading(const std::string& path, FileError* error) {
  const int fd = OpenRegularFile(path, O_RDONLY, error);
  if (fd < 0) return nullptr;
  std::FILE* file = ::fdopen(fd, "rb");
  if (file == nullptr) {
    if (error != nullptr) *error = FileErrorFromErrno(errno);
    ::close(fd);
  }
  return file;
}

bool MakeDirectory(const std::string& path) {
  return !path.empty() && ::mkdir(path.c_str(), 0777) == 0;
}

namespace {

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

std::string JoinPath(const std::string& folder, const char* name) {
  std::string full = folder;
  if (!full.empty() && full.back() != '/') full += '/';
  return full + name;
}

}  // namespace

bool ListDirectory(const std::string& folder, const std::string& pattern, std::vector<DirectoryEntry>& entries) {
  std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.empty() ? "." : folder.c_str()));
  if (!dir) return false;

  std::vector<DirectoryEntry> found;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (entry == nullptr) {
      if (errno != 0) return false;
      break;
    }
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (::fnmatch(pattern.c_str(), entry->d_name, FNM_NOESCAPE | FNM_CASEFOLD) != 0) continue;

    DirectoryEntry item;
    item.name = name;
    if (entry->d_type == DT_DIR) {
      item.directory = true;
    } else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
      struct stat info;
      struct stat linkInfo;
      const std::string full = JoinPath(folder, entry->d_name);
      if (::lstat(full.c_str(), &linkInfo) != 0) continue;  // gone meanwhile
      item.symbolicLink = S_ISLNK(linkInfo.st_mode);
      if (::stat(full.c_str(), &info) != 0) continue;  // a link that leads nowhere
      item.directory = S_ISDIR(info.st_mode);
    }
    found.push_back(std::move(item));
  }
  std::sort(found.begin(), found.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
  entries.insert(entries.end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
  return true;
}

namespace {

// $HOME, else the password database's home folder, with a trailing separator; empty when neither is known.
std::string HomeFolder() {
  std::string home;
  if (const char* env = std::getenv("HOME"); env != nullptr && env[0] != '\0') {
    home = env;
  } else {
    struct passwd record;
    struct passwd* result = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::getuid(), &record, buffer.data(), buffer.size(), &result) == 0 && result != nullptr &&
        result->pw_dir != nullptr) {
      home = result->pw_dir;
    }
  }
  if (!home.empty() && home.back() != '/') home += '/';
  return home;
}

// The folder an XDG variable names when it is absolute, else <home>/<fallback>.
std::string XdgFolder(const char* variable, const char* fallback) {
  const char* value = std::getenv(variable);
  if (value != nullptr && value[0] == '/') return value;
  const std::string home = HomeFolder();
  return home.empty() ? std::string() : home + fallback;
}

}  // namespace

std::string GetApplicationDataFolder() { return XdgFolder("XDG_CONFIG_HOME", ".config"); }

std::string GetUserDataFolder() { return XdgFolder("XDG_DATA_HOME", ".local/share"); }

std::string GetExecutablePath() {
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return "";
    if (static_cast<std::size_t>(n) < buffer.size()) return std::string(buffer.data(), static_cast<std::size_t>(n));
    buffer.resize(buffer.size() * 2);  // possibly cut: try again with more room
  }
}

std::FILE* CreateFileBeside(const std::string& target, std::string& createdPath, FileError* error) {
  createdPath.clear();
  FileError ignored;
  FileError& cause = error != nullptr ? *error : ignored;
  cause = FileError::Other;
  if (target.empty()) return nullptr;
  struct stat info;
  const bool keepMode = ::stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = target + ".tmp";
    if (attempt > 0) name += std::to_string(attempt);
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      cause = FileErrorFromErrno(errno);
      return nullptr;
    }
    if (keepMode) ::fchmod(fd, info.st_mode & 07777);
    std::FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) {
      cause = FileErrorFromErrno(errno);
      ::close(fd);
      ::unlink(name.c_str());
      return nullptr;
    }
    cause = FileError::None;
    createdPath = std::move(name);
    return file;
  }
  return nullptr;
}

bool SyncFile(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
  return ::fsync(::fileno(file)) == 0;
}

}  // namespace vowelscope::platform
