#include "engine/Sessiontext.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "base/Fileutilities.h"
#include "base/Stringutilities.h"

namespace vowelscope {

std::array<std::string, 3> SessionFileNames(const std::string& path) {
  std::array<std::string, 3> names;
  for (size_t i = 0; i < names.size(); ++i) names[i] = ChangeExtension(path, kSessionFileParts[i].extension);
  return names;
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

// Room for every integer digit of the largest double, its sign and three decimals.
constexpr size_t kNumberRoom = 400;

// Writes the number at `to` (which has kNumberRoom characters) and returns its end.
char* PutSessionNumber(char* to, double value) {
  const auto [end, error] = std::to_chars(to, to + kNumberRoom, value, std::chars_format::fixed, 3);
  if (error == std::errc()) return end;
  constexpr char kZero[] = "0.000";  // cannot happen with this room
  return std::copy(kZero, kZero + 5, to);
}

}  // namespace

std::string FormatSessionNumber(double value) {
  char text[kNumberRoom];
  return std::string(text, PutSessionNumber(text, value));
}

void AppendSessionLine(std::string& text, int64_t time, double a, double b, double c) {
  char line[3 * (kNumberRoom + 1) + 24];
  char* end = std::to_chars(line, line + 21, time).ptr;  // 20 digits and a sign hold any int64_t
  for (const double value : {a, b, c}) {
    *end++ = '\t';
    end = PutSessionNumber(end, value);
  }
  *end++ = '\r';
  *end++ = '\n';
  text.append(line, end);
}

bool ParseSessionNumber(std::string_view field, double& value) {
  size_t first = 0;
  size_t last = field.size();
  while (first < last && IsBlank(field[first])) ++first;
  while (last > first && IsBlank(field[last - 1])) --last;
  const char* p = field.data() + first;
  const char* const end = field.data() + last;
  // from_chars takes a minus sign only
  if (p < end && *p == '+' && ++p < end && *p == '-') return false;
  if (p == end) return false;
  const auto [stop, error] = std::from_chars(p, end, value, std::chars_format::general);
  if (stop != end) return false;
  if (error == std::errc::result_out_of_range) {
    // strtod gives the infinity or the zero of that sign; from_chars leaves the value alone.
    const bool negative = *p == '-';
    const std::string_view digits(p, static_cast<size_t>(stop - p));
    const size_t exponent = digits.find_first_of("eE");
    const bool tiny = exponent != std::string_view::npos && digits.find('-', exponent) != std::string_view::npos;
    const double magnitude = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    value = negative ? -magnitude : magnitude;
    return true;
  }
  return error == std::errc();
}

int64_t FrameTimeMs(uint64_t frame, uint64_t hopFrames, uint32_t sampleRate) {
  if (sampleRate == 0) return 0;
  // Exact in integers: frame * hop stays far below 2^63 for any recording a 32-bit length can hold.
  const uint64_t samples = frame * hopFrames;
  return static_cast<int64_t>((samples * 1000 + sampleRate / 2) / sampleRate);
}

bool FrameShiftFinder::Fits(int candidate, uint64_t line, double timeMs) const {
  const double written = static_cast<double>(line) * candidates[candidate];
  const double trueTime = static_cast<double>(FrameTimeMs(line, hops[candidate], sampleRate));
  return std::fabs(timeMs - written) <= 1.0 || std::fabs(timeMs - trueTime) <= 1.0;
}

void FrameShiftFinder::Add(std::optional<double> timeMs) {
  const uint64_t line = lines++;
  if (broken) return;
  if (!timeMs || !std::isfinite(*timeMs)) {
    broken = true;
    return;
  }
  if (line == 0) {
    broken = std::fabs(*timeMs) > 1.0;
    return;
  }
  if (line == 1) {
    // Either form puts the second line one shift, give or take a millisecond, after the first.
    const double t = std::round(*timeMs);
    if (!(t >= 0.0 && t <= kMaxShiftMs + 1.0)) {
      broken = true;
      return;
    }
    const int middle = static_cast<int>(t);
    const int order[kCandidates] = {middle, middle - 1, middle + 1};
    for (int k = 0; k < kCandidates; ++k) {
      candidates[k] = order[k];
      alive[k] = order[k] >= 1 && order[k] <= kMaxShiftMs;
      if (alive[k]) hops[k] = hopOfShift(order[k]);
      alive[k] = alive[k] && hops[k] > 0;
    }
  }
  bool any = false;
  for (int k = 0; k < kCandidates; ++k) {
    alive[k] = alive[k] && Fits(k, line, *timeMs);
    any = any || alive[k];
  }
  broken = !any;
}

std::optional<int> FrameShiftFinder::Result() const {
  if (broken || lines < 2) return std::nullopt;
  for (int k = 0; k < kCandidates; ++k) {
    if (alive[k]) return candidates[k];
  }
  return std::nullopt;
}

SessionTextResult ReadSessionText(
    const std::string& path, uint64_t maxLines,
    const std::function<void(std::optional<double> time, double a, double b, double c)>& onLine) {
  uint64_t taken = 0;
  bool bad = false;
  const LineReadResult result = ForEachLine(path, kMaxSessionLine, [&](std::string_view line) {
    if (line.empty()) return true;
    std::string_view fields[4];
    size_t count = 0;
    size_t start = 0;
    while (count < 4) {
      const size_t tab = line.find('\t', start);
      if (tab == std::string_view::npos) {
        fields[count++] = line.substr(start);
        break;
      }
      fields[count++] = line.substr(start, tab - start);
      start = tab + 1;
    }
    double values[3];
    if (count < 4 || ++taken > maxLines || !ParseSessionNumber(fields[1], values[0]) ||
        !ParseSessionNumber(fields[2], values[1]) || !ParseSessionNumber(fields[3], values[2])) {
      bad = true;
      return false;
    }
    double time = 0.0;
    onLine(ParseSessionNumber(fields[0], time) ? std::optional<double>(time) : std::nullopt, values[0], values[1],
           values[2]);
    return true;
  });
  switch (result) {
    case LineReadResult::Done: return SessionTextResult::Read;
    case LineReadResult::Stopped: return bad ? SessionTextResult::FormatError : SessionTextResult::Read;
    case LineReadResult::CannotOpen:
    case LineReadResult::ReadError: return SessionTextResult::CannotOpen;
    case LineReadResult::NotRegularFile:
    case LineReadResult::LineTooLong: return SessionTextResult::FormatError;
  }
  return SessionTextResult::FormatError;
}

}  // namespace vowelscope
