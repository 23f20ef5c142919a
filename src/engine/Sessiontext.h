#pragma once
// The text lines of the session's .f0 and .fr files, "time<TAB>a<TAB>b<TAB>c": their numbers, their
// times, and a reader that streams a file through them with bounds, so that no file (a huge one, a line
// without end, a device) can take the memory or the time of the program.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace vowelscope {

// The three files of a session, in the order they are read, each with the message for when it is
// missing; `path` names any one of them (or their common base).
struct SessionFilePart {
  const char* extension;
  const char* missingMessage;
};
inline constexpr std::array<SessionFilePart, 3> kSessionFileParts = {{
    {".wav", "WAVE ファイルが見つかりません。"},
    {".f0", "F0 ファイルが見つかりません。"},
    {".fr", "FR ファイルが見つかりません。"},
}};
std::array<std::string, 3> SessionFileNames(const std::string& path);

// Numbers as printf's "%.3f" prints them in the "C" locale, whatever the process's locale: a point as
// decimal separator, every integer digit of a large value ("inf" and "nan" as printf writes them).
std::string FormatSessionNumber(double value);

// Appends one line of a .f0 or .fr file: the time, the three numbers as FormatSessionNumber gives them,
// tab-separated, and a CR LF line end.
void AppendSessionLine(std::string& text, int64_t time, double a, double b, double c);

// A whole field as a number: blanks around it are allowed, anything else (a unit, a decimal comma, an
// empty field) is not. A value beyond the range of double reads as infinity (or 0 when it is too
// small), as strtod gives it.
bool ParseSessionNumber(std::string_view field, double& value);

// Milliseconds from the start of the recording to `frame` hops of `hopFrames` samples at
// `sampleRate`, rounded to the nearest whole millisecond: the time column of the files.
int64_t FrameTimeMs(uint64_t frame, uint64_t hopFrames, uint32_t sampleRate);

// Finds the F0 frame shift a .f0 file was written with from its time column: a whole number of
// milliseconds s such that every line's time is, to within a millisecond, either i * s (as earlier
// versions wrote it) or the true time of frame i at that shift. Fed the time of every line in order
// (nullopt for a time that is not a number).
class FrameShiftFinder {
 public:
  // hopOfShift gives the samples per F0 frame of a shift in milliseconds, as the F0 pass takes it.
  FrameShiftFinder(uint32_t sampleRate, std::function<uint64_t(int shiftMs)> hopOfShift)
      : sampleRate(sampleRate), hopOfShift(std::move(hopOfShift)) {}
  void Add(std::optional<double> timeMs);
  // The shift in milliseconds; nullopt when the column fits none (or has fewer than two lines).
  std::optional<int> Result() const;

  static constexpr int kMaxShiftMs = 9999;

 private:
  static constexpr int kCandidates = 3;
  bool Fits(int candidate, uint64_t line, double timeMs) const;

  uint32_t sampleRate;
  std::function<uint64_t(int)> hopOfShift;
  uint64_t lines = 0;
  bool broken = false;
  int candidates[kCandidates] = {0, 0, 0};
  uint64_t hops[kCandidates] = {0, 0, 0};
  bool alive[kCandidates] = {false, false, false};
};

// How reading a session text file ended.
enum class SessionTextResult { Read, CannotOpen, FormatError };

// Longest line a session file may have: a line the program writes is at most about 1 KiB.
inline constexpr std::size_t kMaxSessionLine = 4096;

// Streams a .f0 or .fr file: every non-empty line must hold at least four tab-separated fields, the
// last three wholly numbers (fields after the fourth are ignored); each line goes to onLine with its
// time (nullopt when not a number) and the three values. More than maxLines such lines, a line longer
// than kMaxSessionLine, or a file that is not a regular file is a format error; a file that cannot be
// opened is CannotOpen.
SessionTextResult ReadSessionText(const std::string& path, uint64_t maxLines,
                                  const std::function<void(std::optional<double> time, double a, double b, double c)>& onLine);

}  // namespace vowelscope
