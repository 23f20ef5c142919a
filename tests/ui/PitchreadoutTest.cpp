// The live pitch readout: the Hz and note texts of a block's F0, and the dash without voice.
#include "ui/Pitchreadout.h"

#include <QLabel>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vowelscope {
namespace {

TEST(PitchReadoutTest, ShowsHzAndTheNearestNoteWithCents_AndADashWithoutVoice) {
  const struct {
    double frequency;
    const char* hz;
    const char* note;
  } cases[] = {
      {220.0, "220 Hz", "A3 +0"},
      {220.0 * std::exp2(12.0 / 1200.0), "222 Hz", "A3 +12"},  // 12 cents sharp
      {523.25 * std::exp2(-3.0 / 1200.0), "522 Hz", "C5 -3"},
      {115.4, "115 Hz", "A#2 -17"},
      {15.0, "15 Hz", "—"},  // below C0: no note to name, the Hz still read
      {0.0, "—", "—"},       // an unvoiced block
      {-1.0, "—", "—"},
      {std::numeric_limits<double>::quiet_NaN(), "—", "—"},
      {std::numeric_limits<double>::infinity(), "—", "—"},
  };
  TPitchReadout readout;
  for (const auto& c : cases) {
    readout.SetPitch(c.frequency);
    EXPECT_EQ(readout.lblFrequency->text(), QString::fromUtf8(c.hz)) << c.frequency << " Hz";
    EXPECT_EQ(readout.lblNote->text(), QString::fromUtf8(c.note)) << c.frequency << " Hz";
  }
}

TEST(PitchReadoutTest, StartsAndClearsToTheDash) {
  TPitchReadout readout;
  EXPECT_EQ(readout.lblFrequency->text(), QStringLiteral("—"));
  readout.SetPitch(330.0);
  readout.Clear();
  EXPECT_EQ(readout.lblFrequency->text(), QStringLiteral("—"));
  EXPECT_EQ(readout.lblNote->text(), QStringLiteral("—"));
}

TEST(PitchReadoutTest, KeepsItsWidthAsTheValuesChange) {
  // 40 values a second: a readout that resized with its text would shake the level meter beside it.
  TPitchReadout readout;
  readout.show();
  readout.SetPitch(0.0);
  const int width = readout.sizeHint().width();
  for (const double f : {55.0, 1046.5, 110.0 * std::exp2(-49.0 / 1200.0), 2093.0}) {
    readout.SetPitch(f);
    EXPECT_EQ(readout.sizeHint().width(), width) << f << " Hz";
  }
}

}  // namespace
}  // namespace vowelscope
