#include "platform/Profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vowelscope {
namespace {

constexpr std::string_view kBlanks = " \t\r\v\f";
constexpr std::string_view kBom = "\xEF\xBB\xBF";
// Enough for the settings file, the region sets and whatever a test opens; beyond it the oldest-looking
// entry is simply dropped and re-read when needed.
constexpr std::size_t kCacheLimit = 32;

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(kBlanks);
  return s.substr(first, last - first + 1);
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

struct Line {
  std::string text;    // without its line end
  std::string ending;  // "\n", "\r\n", or empty for a last line without a line end
};

// One parsed INI file: its lines as they are on disk plus an index of the first occurrence of every
// section and of every key in it.
struct IniFile {
  struct Section {
    std::size_t lastLine = 0;  // the section's last key line, or its header when it has no key yet
    std::unordered_map<std::string, std::size_t> keys;  // lower-cased key -> line
  };

  std::string prefix;  // a byte-order mark in front of the first line, written back as found
  std::vector<Line> lines;
  std::unordered_map<std::string, Section> sections;  // lower-cased section -> first occurrence

  static IniFile Parse(std::string_view data) {
    IniFile ini;
    if (data.substr(0, kBom.size()) == kBom) {
      ini.prefix = kBom;
      data.remove_prefix(kBom.size());
    }
    std::size_t pos = 0;
    while (pos < data.size()) {
      const auto nl = data.find('\n', pos);
      Line line;
      if (nl == std::string_view::npos) {
        line.text = data.substr(pos);
        pos = data.size();
      } else {
        std::size_t end = nl;
        if (end > pos && data[end - 1] == '\r') {
          --end;
          line.ending = "\r\n";
        } else {
          line.ending = "\n";
        }
        line.text = data.substr(pos, end - pos);
        pos = nl + 1;
      }
      ini.lines.push_back(std::move(line));
    }
    ini.Index();
    return ini;
  }

  void Index() {
    sections.clear();
    Section* current = nullptr;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::string_view t = Trim(lines[i].text);
      if (t.empty() || t.front() == ';') continue;
      if (t.front() == '[') {
        const auto close = t.find(']');
        const std::string name = Lower(Trim(t.substr(1, close == std::string_view::npos ? t.npos : close - 1)));
        // A repeated section is kept in the file but its keys are not seen.
        const auto [it, inserted] = sections.try_emplace(name);
        current = inserted ? &it->second : nullptr;
        if (current) current->lastLine = i;
        continue;
      }
      const auto eq = t.find('=');
      if (current == nullptr || eq == std::string_view::npos) continue;
      const std::string_view keyName = Trim(t.substr(0, eq));
      if (keyName.empty()) continue;
      current->keys.try_emplace(Lower(keyName), i);
      current->lastLine = i;
    }
  }

  std::optional<std::string_view> Find(std::string_view section, std::string_view key) const {
    const auto s = sections.find(Lower(Trim(section)));
    if (s == sections.end()) return std::nullopt;
    const auto k = s->second.keys.find(Lower(Trim(key)));
    if (k == s->second.keys.end()) return std::nullopt;
    const std::string& text = lines[k->second].text;
    return Trim(std::string_view(text).substr(text.find('=') + 1));
  }

  std::string NewlineStyle() const {
    for (const Line& l : lines) {
      if (!l.ending.empty()) return l.ending;
    }
    return "\n";
  }

  // Inserts a line at index at (lines.size() appends), giving the line before it a line end.
  void InsertLine(std::size_t at, std::string text) {
    const std::string nl = NewlineStyle();
    if (at > 0 && lines[at - 1].ending.empty()) lines[at - 1].ending = nl;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), Line{std::move(text), nl});
  }

  void Set(std::string_view section, std::string_view key, std::string_view value) {
    const auto s = sections.find(Lower(section));
    if (s == sections.end()) {
      if (!lines.empty() && !Trim(lines.back().text).empty()) InsertLine(lines.size(), "");
      InsertLine(lines.size(), "[" + std::string(section) + "]");
      InsertLine(lines.size(), std::string(key) + "=" + std::string(value));
    } else if (const auto k = s->second.keys.find(Lower(key)); k != s->second.keys.end()) {
      // Keep everything up to the '=' and the blanks after it, so hand-made alignment survives.
      std::string& text = lines[k->second].text;
      std::size_t valueStart = text.find('=') + 1;
      if (!value.empty()) {
        while (valueStart < text.size() && (text[valueStart] == ' ' || text[valueStart] == '\t')) ++valueStart;
      }
      text = text.substr(0, valueStart) + std::string(value);
    } else {
      InsertLine(s->second.lastLine + 1, std::string(key) + "=" + std::string(value));
    }
    Index();
  }

  std::string Serialize() const {
    std::string out = prefix;
    for (const Line& l : lines) {
      out += l.text;
      out += l.ending;
    }
    return out;
  }
};

// What tells one version of a file from another without reading it.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  timespec changed{};

  static FileStamp Of(const struct stat& st) {
    return FileStamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
  }
  bool operator==(const FileStamp& o) const {
    return device == o.device && inode == o.inode && size == o.size && modified.tv_sec == o.modified.tv_sec &&
           modified.tv_nsec == o.modified.tv_nsec && changed.tv_sec == o.changed.tv_sec &&
           changed.tv_nsec == o.changed.tv_nsec;
  }
};

struct CacheEntry {
  FileStamp stamp;
  std::string bytes;  // the file as parsed, to check a racy entry against
  // The file changed so recently that another change within the same timestamp tick would keep its stamp;
  // such an entry is trusted only after its bytes have been compared again.
  bool racy = false;
  std::shared_ptr<const IniFile> file;
};

// File timestamps are taken from a coarse clock and some file systems round them to seconds, so a stamp
// proves nothing about changes made within a few seconds of it.
constexpr time_t kRacySeconds = 3;

std::mutex cacheMutex;
std::map<std::string, CacheEntry> cache;
std::atomic<std::size_t> parseCount{0};

bool IsRacy(const FileStamp& stamp) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const timespec& latest = stamp.changed.tv_sec > stamp.modified.tv_sec ? stamp.changed : stamp.modified;
  return latest.tv_sec + kRacySeconds >= now.tv_sec;
}

void Remember(const std::string& fileName, const FileStamp& stamp, std::string bytes,
              std::shared_ptr<const IniFile> file) {
  if (cache.size() >= kCacheLimit && cache.find(fileName) == cache.end()) cache.erase(cache.begin());
  cache[fileName] = CacheEntry{stamp, std::move(bytes), IsRacy(stamp), std::move(file)};
}

// The parsed file: from the cache when the file has not changed since it was parsed, null when the path is
// missing, is not a regular file or cannot be read. trustStamp false always compares the bytes on disk
// (writes do, so that they never build on a stale picture). Called with cacheMutex held.
std::shared_ptr<const IniFile> Open(const std::string& fileName, bool trustStamp = true) {
  struct stat st{};
  if (fileName.empty() || ::stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    cache.erase(fileName);
    return nullptr;
  }
  const auto cached = cache.find(fileName);
  if (trustStamp && cached != cache.end() && !cached->second.racy && cached->second.stamp == FileStamp::Of(st)) {
    return cached->second.file;
  }
  // Not regular files (a fifo, a device) are never opened: reading them could block or never end.
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return nullptr;
  // The stamp is taken from the opened file, so a change after this point makes the next read look again.
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  std::string data;
  char chunk[65536];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      cache.erase(fileName);
      return nullptr;
    }
    if (n == 0) break;
    data.append(chunk, static_cast<std::size_t>(n));
  }
  ::close(fd);
  std::shared_ptr<const IniFile> file;
  if (cached != cache.end() && cached->second.bytes == data) {
    file = cached->second.file;
  } else {
    file = std::make_shared<const IniFile>(IniFile::Parse(data));
    ++parseCount;
  }
  Remember(fileName, FileStamp::Of(st), std::move(data), file);
  return file;
}

bool HasAny(std::string_view s, std::string_view bytes) { return s.find_first_of(bytes) != std::string_view::npos; }

bool WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Writes data to a new file in the folder of target and renames it over target. False leaves target as
// it was. existing: the target's current status, or null when it does not exist yet.
bool ReplaceFile(const std::string& target, const std::string& data, const struct stat* existing) {
  static std::atomic<unsigned> counter{0};
  const auto slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = dir + "." + base + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = WriteAll(fd, data);
  if (ok && existing) ok = ::fchmod(fd, existing->st_mode & 07777) == 0;
  if (ok) ok = ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

}  // namespace

int GetProfileInt(const std::string& section, const std::string& key, int defaultValue,
                  const std::string& fileName) {
  std::shared_ptr<const IniFile> file;
  {
    std::lock_guard lock(cacheMutex);
    file = Open(fileName);
  }
  if (!file) return defaultValue;
  const auto value = file->Find(section, key);
  if (!value || value->empty()) return defaultValue;
  std::string_view v = *value;
  bool negative = false;
  if (!v.empty() && (v.front() == '-' || v.front() == '+')) {
    negative = v.front() == '-';
    v.remove_prefix(1);
  }
  std::uint64_t magnitude = 0;
  for (const char c : v) {
    if (c < '0' || c > '9') break;
    magnitude = std::min<std::uint64_t>(magnitude * 10 + static_cast<unsigned>(c - '0'), UINT32_MAX);
  }
  std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
  if (negative) bits = 0u - bits;
  return static_cast<int>(bits);
}

std::size_t GetProfileString(const std::string& section, const std::string& key, const std::string& defaultValue,
                             char* buffer, std::size_t size, const std::string& fileName) {
  if (buffer == nullptr || size == 0) return 0;
  std::shared_ptr<const IniFile> file;
  {
    std::lock_guard lock(cacheMutex);
    file = Open(fileName);
  }
  std::string_view text = defaultValue;
  std::optional<std::string_view> found;
  if (file) found = file->Find(section, key);
  if (found) text = *found;
  const std::size_t n = std::min(text.size(), size - 1);
  if (n > 0) std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return n;
}

bool WriteProfileString(const std::string& section, const std::string& key, const std::string& value,
                        const std::string& fileName) {
  using namespace std::string_view_literals;
  const std::string_view sectionName = Trim(section);
  const std::string_view keyName = Trim(key);
  if (sectionName.empty() || keyName.empty() || fileName.empty()) return false;
  if (HasAny(sectionName, "\r\n\0]"sv) || HasAny(keyName, "\r\n\0="sv) || HasAny(value, "\r\n\0"sv)) return false;
  if (keyName.front() == '[' || keyName.front() == ';') return false;

  std::lock_guard lock(cacheMutex);
  // Write through a symbolic link to the file it names, so the link stays a link.
  std::string target = fileName;
  struct stat st{};
  if (::lstat(fileName.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* resolved = ::realpath(fileName.c_str(), nullptr)) {
      target = resolved;
      std::free(resolved);
    }
  }
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists) {
    // A file without any write permission bit is read-only for everyone, the owner's superuser included.
    if (!S_ISREG(st.st_mode) || (st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) return false;
  } else if (errno != ENOENT) {
    return false;
  }

  IniFile ini;
  std::string before;
  if (exists) {
    const auto current = Open(target, false);
    if (!current) return false;  // present but unreadable: rewriting it would lose its content
    ini = *current;
    before = ini.Serialize();
  }
  ini.Set(sectionName, keyName, value);
  const std::string after = ini.Serialize();
  if (exists && after == before) return true;
  if (!ReplaceFile(target, after, exists ? &st : nullptr)) return false;

  struct stat written{};
  if (::stat(target.c_str(), &written) == 0) {
    Remember(target, FileStamp::Of(written), after, std::make_shared<const IniFile>(std::move(ini)));
  } else {
    cache.erase(target);
  }
  if (target != fileName) cache.erase(fileName);
  return true;
}

std::size_t ProfileParseCount() { return parseCount.load(); }

}  // namespace vowelscope
