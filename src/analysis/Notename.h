#pragma once
// The name of the equal-tempered note nearest a frequency, with the distance from it in cents, as a singer
// reads a tuner: "A3 +12", "C#5 -3" (A4 = 440 Hz, octaves numbered from C, sharps rather than flats).

#include <string>

namespace vowelscope {

// Empty for a frequency that is not positive and finite (an unvoiced block) or outside the octaves 0 .. 9.
std::string NoteName(double frequency);

}  // namespace vowelscope
