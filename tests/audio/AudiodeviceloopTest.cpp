// AudioOut and AudioIn on the system's default devices. With the test sound server the output plays into
// a null sink and the input records the sink's monitor, so what one plays the other must hear.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

#include "../platform/Wavedevicesoundserver.h"
#include "Audiotestsupport.h"
#include "audio/Audioin.h"
#include "audio/Audioout.h"
#include "sound/Soundmemorystream.h"

namespace vowelscope {
namespace {

using audiotest::Listener;
using audiotest::Mono16;
using wavetest::MissingSoundServer;

TEST(AudioDeviceLoop, TonePlayedIntoTheSink_IsRecordedFromItsMonitor) {
  VS_REQUIRE_SOUND(MissingSoundServer());
  const SoundFormat format = Mono16();
  const unsigned rate = format.GetSampleRate();
  const double frequency = 200.0, amplitude = 10000.0, seconds = 1.2;

  SoundMemoryStream tone(format);
  std::vector<int16_t> samples(static_cast<size_t>(seconds * rate));
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * frequency * i / rate)));
  }
  ASSERT_TRUE(tone.Write(samples.data(), static_cast<unsigned>(samples.size()), nullptr));
  ASSERT_TRUE(tone.Seek(0, kSeekBegin));

  // The defaults: PortAudio on the default devices.
  AudioIn in(format, AudioInDevice());
  AudioOut out(format, AudioOutDevice());
  Listener recorded, played;
  in.AddCallback(CallbackMethod<Listener, AudioCallbackParams>(&recorded, &Listener::OnAudio));
  out.AddCallback(CallbackMethod<Listener, AudioCallbackParams>(&played, &Listener::OnAudio));
  SoundMemoryStream recording(format);

  VS_REQUIRE_SOUND(in.Open(format.SecondsToBytes(0.025), 5) ? "" : "PortAudio finds no input device");
  VS_REQUIRE_SOUND(out.Open(0, 3) ? "" : "PortAudio finds no output device");
  ASSERT_TRUE(in.Start(&recording));
  ASSERT_TRUE(out.Start(&tone));
  ASSERT_TRUE(played.WaitForType(2));
  EXPECT_EQ(played.Count(4), 0);
  // The end comes once the whole tone has been heard, not when the last buffer was handed over.
  EXPECT_GE(played.Events().back().samples, static_cast<int32_t>(samples.size()));
  EXPECT_TRUE(out.Stop());
  EXPECT_TRUE(out.Close());
  EXPECT_TRUE(in.Stop());
  EXPECT_TRUE(in.Close());
  EXPECT_EQ(recorded.Types().front(), 1);
  EXPECT_EQ(recorded.Types().back(), 2);
  EXPECT_EQ(recorded.Count(4), 0);

  // Find the tone in the recording and look at the middle half of it.
  const auto* r = reinterpret_cast<const int16_t*>(recording.GetData());
  const size_t n = recording.GetLength();
  ASSERT_GT(n, samples.size()) << "the recording spans the whole tone";
  size_t onset = 0;
  while (onset < n && std::abs(r[onset]) < amplitude / 4) ++onset;
  ASSERT_LT(onset + samples.size(), n + rate / 10) << "tone found too late (or not at all)";
  const size_t begin = onset + samples.size() / 4, end = std::min(n, onset + 3 * samples.size() / 4);
  ASSERT_GT(end, begin + rate / 4);
  int upward = 0;
  double energy = 0;
  for (size_t i = begin + 1; i < end; ++i) {
    upward += r[i - 1] < 0 && r[i] >= 0;
    energy += static_cast<double>(r[i]) * r[i];
  }
  const double span = double(end - begin) / rate;
  const double rms = std::sqrt(energy / double(end - begin));
  EXPECT_NEAR(upward / span, frequency, 0.05 * frequency) << "upward zero crossings per second";
  EXPECT_GT(rms, 0.5 * amplitude / std::sqrt(2.0)) << "level near the played one, far above silence";
}

}  // namespace
}  // namespace vowelscope
