#include "analysis/Notename.h"

#include <cmath>
#include <cstdio>

namespace vowelscope {

std::string NoteName(double frequency) {
  if (!(frequency > 0.0) || !std::isfinite(frequency)) return {};
  static const char* const kNames[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
  // MIDI numbering: A4 is note 69, C4 note 60; -1 is the octave below C0.
  const double note = 69.0 + 12.0 * std::log2(frequency / 440.0);
  const long nearest = std::lround(note);
  const int cents = static_cast<int>(std::lround((note - nearest) * 100.0));
  const long octave = nearest / 12 - 1;
  if (nearest < 12 || octave > 9) return {};
  char text[32];
  std::snprintf(text, sizeof text, "%s%ld %+d", kNames[nearest % 12], octave, cents);
  return text;
}

}  // namespace vowelscope
