#include "config/Guideset.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <list>
#include <numbers>

#include "base/Fileutilities.h"
#include "base/Stringutilities.h"
#include "platform/Filesystem.h"

namespace vowelscope {

namespace {

// Outline colours given to the labels in turn (red in bits 0-7), those of the shipped sets first.
constexpr int kPalette[] = {13067182, 13399111, 11704418, 4169279, 6917155, 3381759, 10066329, 16737996};

// A value on one line of the file: control characters (a line break would end the value and start a
// key of its own) become spaces; the reader trims the ends.
std::string OneLine(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  }
  return out;
}

// A file name for the caption: no separators, control characters or leading dot, cut to whole UTF-8
// characters of at most 80 bytes.
std::string FileStem(const std::string& caption) {
  std::string stem;
  for (char c : caption) {
    const auto u = static_cast<unsigned char>(c);
    stem += (u < 0x20 || c == '/' || c == '\\' || u == 0x7f) ? '_' : c;
  }
  if (stem.size() > 80) {
    size_t cut = 80;
    while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80) --cut;
    stem.resize(cut);
  }
  if (!stem.empty() && stem.front() == '.') stem.front() = '_';
  return stem.empty() ? std::string("guide") : stem;
}

std::string Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  char text[16] = "";
  if (localtime_r(&now, &local) != nullptr) std::strftime(text, sizeof text, "%Y-%m-%d", &local);
  return text;
}

}  // namespace

std::string UserRegionsFolder() {
  const std::string data = platform::GetUserDataFolder();
  return data.empty() ? std::string() : IncludeTrailingSeparator(data) + "Halcyon/Vowelscope/regions";
}

FrequencyRegion RegionFromFit(const std::string& label, const FittedEllipse& fit, int color) {
  FrequencyRegion r;
  r.Enabled = true;
  r.Caption = OneLine(label);
  r.F1Center = static_cast<int>(std::lround(fit.f1));
  r.F2Center = static_cast<int>(std::lround(fit.f2));
  // The major axis is stored as F1Length when it lies within 45 degrees of F1, else the minor one, whose
  // direction is a quarter turn away; either way the stored axis is the one nearer F1.
  double angle = fit.angle;
  double alongF1 = fit.major;
  double alongF2 = fit.minor;
  if (std::fabs(angle) > std::numbers::pi / 4) {
    angle += angle > 0 ? -std::numbers::pi / 2 : std::numbers::pi / 2;
    std::swap(alongF1, alongF2);
  }
  const auto floor = [](double centre) {
    return std::max(kMinSemiAxis, static_cast<int>(std::lround(kMinSemiAxisShare * centre)));
  };
  r.F1Length = std::max(floor(fit.f1), static_cast<int>(std::lround(alongF1)));
  r.F2Length = std::max(floor(fit.f2), static_cast<int>(std::lround(alongF2)));
  r.Angle = static_cast<int>(std::lround(-angle * 180.0 / std::numbers::pi));
  r.Color = color;
  return r;
}

std::vector<FrequencyRegion> BuildGuideRegions(const std::vector<FormantValue>& track,
                                               const std::vector<SteadyStretch>& stretches,
                                               const std::vector<std::string>& labels) {
  std::vector<std::string> order;
  std::vector<std::vector<FormantPoint>> clouds;
  for (size_t i = 0; i < stretches.size() && i < labels.size(); ++i) {
    const std::string label = OneLine(labels[i]);
    if (label.find_first_not_of(' ') == std::string::npos) continue;
    auto found = std::find(order.begin(), order.end(), label);
    if (found == order.end()) {
      if (order.size() == static_cast<size_t>(Regions::kRegionCount)) continue;
      order.push_back(label);
      clouds.emplace_back();
      found = order.end() - 1;
    }
    auto& cloud = clouds[static_cast<size_t>(found - order.begin())];
    const SteadyStretch& s = stretches[i];
    for (size_t k = s.first; k < s.first + s.count && k < track.size(); ++k) {
      if (track[k].f1 > 0.0 && track[k].f2 > 0.0) cloud.push_back({track[k].f1, track[k].f2});
    }
  }
  std::vector<FrequencyRegion> regions;
  for (size_t i = 0; i < order.size(); ++i) {
    if (clouds[i].empty()) continue;
    regions.push_back(RegionFromFit(order[i], FitEllipse(clouds[i]), kPalette[i % std::size(kPalette)]));
  }
  return regions;
}

bool WriteGuideSet(const std::string& folder, const GuideSetInfo& info, const std::vector<FrequencyRegion>& regions,
                   std::string& writtenPath) {
  writtenPath.clear();
  if (folder.empty() || regions.empty() || regions.size() > static_cast<size_t>(Regions::kRegionCount)) return false;
  if (!DirectoryExists(folder) && !ForceDirectories(folder)) return false;

  const std::string caption = OneLine(info.caption);
  std::list<std::string> lines;
  lines.push_back("; measured from " + OneLine(info.recording) + " on " +
                  (info.date.empty() ? Today() : OneLine(info.date)));
  lines.push_back("");
  lines.push_back("[Information]");
  lines.push_back("Caption=" + caption);
  for (size_t i = 0; i < regions.size(); ++i) {
    const FrequencyRegion& r = regions[i];
    lines.push_back("");
    lines.push_back(FormatString("[Region%d]", static_cast<int>(i)));
    lines.push_back(r.Enabled ? "Enabled=1" : "Enabled=0");
    lines.push_back("Caption=" + OneLine(r.Caption));
    lines.push_back(FormatString("F1Center=%d", r.F1Center));
    lines.push_back(FormatString("F2Center=%d", r.F2Center));
    lines.push_back(FormatString("F1Length=%d", r.F1Length));
    lines.push_back(FormatString("F2Length=%d", r.F2Length));
    lines.push_back(FormatString("Angle=%d", r.Angle));
    lines.push_back(FormatString("Color=%d", r.Color));
  }

  // A new name, so that an earlier set of the same speaker stays.
  const std::string stem = IncludeTrailingSeparator(folder) + FileStem(caption);
  for (int n = 1; n <= 999; ++n) {
    const std::string path = n == 1 ? stem + ".ini" : FormatString("%s-%d.ini", stem.c_str(), n);
    if (platform::GetPathType(path) != platform::PathType::Missing) continue;
    if (!WriteLines(path, lines)) return false;
    writtenPath = path;
    return true;
  }
  return false;
}

}  // namespace vowelscope
