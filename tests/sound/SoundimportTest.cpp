// Files written by sox in every common shape come in as 16-bit mono at 11025 Hz, at their frequency and
// length; what cannot be read is refused with its reason and the file's name.

#include "sound/Soundimport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "Soxfiles.h"
#include "sound/Recordingformat.h"
#include "support/Testfolder.h"
#include "support/Wavebytes.h"

namespace vowelscope {
namespace {

namespace fs = std::filesystem;
using soxfiles::Sine;
using soxfiles::ToneFrequency;

constexpr uint32_t kRate = 11025;
constexpr unsigned kBlock = 275;

class SoundImportTest : public ::testing::Test {
 protected:
  void SetUp() override { dir = testsupport::TestFolder("soundimport"); }
  void TearDown() override { fs::remove_all(dir); }

  // Imports `file` into `sound`; `samples` receives what the stream then holds.
  SoundImportStatus Import(const fs::path& file) {
    const SoundImportStatus status = ImportSoundFile(file.string(), kRate, import, sound);
    const auto* data = reinterpret_cast<const int16_t*>(sound.GetData());
    samples.assign(data, data + sound.GetLength());
    return status;
  }

  fs::path dir;
  SoundImport import;
  SoundMemoryStream sound{RecordingFormat()};
  std::vector<int16_t> samples;
};

struct ShapeCase {
  const char* name;
  const char* options;  // sox output options
  const char* extension;
  int rate;
  int channels;
  int bits;             // what the import reports: 0 for float and compressed
};

class SoundImportShapes : public SoundImportTest, public ::testing::WithParamInterface<ShapeCase> {};

TEST_P(SoundImportShapes, ReadsAtItsFrequencyAndLength) {
  const ShapeCase& c = GetParam();
  const fs::path file = dir / (std::string(c.name) + c.extension);
  ASSERT_TRUE(Sine(2.0, 440.0, c.options, file)) << "sox could not write " << file;

  ASSERT_EQ(Import(file), SoundImportStatus::Ok);
  EXPECT_EQ(import.sourceRate, c.rate);
  EXPECT_EQ(import.sourceChannels, c.channels);
  EXPECT_EQ(import.sourceBits, c.bits);
  EXPECT_EQ(import.clipped, 0u);
  // Two seconds at 11025 Hz, right to one 25 ms block.
  EXPECT_NEAR(static_cast<double>(samples.size()), 2.0 * kRate, kBlock);
  EXPECT_NEAR(ToneFrequency(samples, kRate), 440.0, 440.0 * 0.002) << "within 0.2 %";
  // Half of full scale survives the mixing and the resampling (0.5 of 32768, within 0.5 dB).
  int peak = 0;
  for (size_t i = kBlock * 4; i + kBlock * 4 < samples.size(); ++i) peak = std::max(peak, std::abs(samples[i]));
  EXPECT_NEAR(20 * std::log10(peak / 16384.0), 0.0, 0.5) << "peak " << peak;
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, SoundImportShapes,
    ::testing::Values(ShapeCase{"wav44stereo", "-r 44100 -c 2 -b 16", ".wav", 44100, 2, 16},
                      ShapeCase{"wav8", "-r 22050 -c 1 -b 8", ".wav", 22050, 1, 8},
                      ShapeCase{"wav24", "-r 48000 -c 1 -b 24", ".wav", 48000, 1, 24},
                      ShapeCase{"wav32", "-r 96000 -c 1 -b 32", ".wav", 96000, 1, 32},
                      ShapeCase{"wavfloat", "-r 44100 -c 2 -b 32 -e floating-point", ".wav", 44100, 2, 0},
                      ShapeCase{"wavextensible", "-r 48000 -c 4 -b 24", ".wav", 48000, 4, 24},
                      ShapeCase{"wav8000", "-r 8000 -c 1 -b 16", ".wav", 8000, 1, 16},
                      ShapeCase{"wav8channels", "-r 48000 -c 8 -b 16", ".wav", 48000, 8, 16},
                      ShapeCase{"flac48", "-r 48000 -c 1 -b 16", ".flac", 48000, 1, 16},
                      ShapeCase{"flac24stereo", "-r 44100 -c 2 -b 24", ".flac", 44100, 2, 24},
                      ShapeCase{"ogg", "-r 44100 -c 2", ".ogg", 44100, 2, 0},
                      ShapeCase{"aiff", "-r 32000 -c 2 -b 16", ".aiff", 32000, 2, 16}),
    [](const ::testing::TestParamInfo<ShapeCase>& info) { return std::string(info.param.name); });

TEST_F(SoundImportTest, RecordingFormatComesInUnchanged) {
  std::vector<int16_t> written(5000);
  for (size_t i = 0; i < written.size(); ++i) written[i] = static_cast<int16_t>((i * 7919) % 65536 - 32768);
  const fs::path file = dir / "take.wav";
  ASSERT_TRUE(soxfiles::Convert(written, kRate, "", file));
  ASSERT_EQ(Import(file), SoundImportStatus::Ok);
  EXPECT_EQ(samples, written);
  EXPECT_EQ(DescribeSoundImport(import), "11025 Hz モノラルの音声を読み込みました");
}

TEST_F(SoundImportTest, DescribesWhatWasConverted) {
  const fs::path file = dir / "phone.wav";
  ASSERT_TRUE(Sine(0.5, 300.0, "-r 44100 -c 2 -b 16", file));
  ASSERT_EQ(Import(file), SoundImportStatus::Ok);
  EXPECT_EQ(DescribeSoundImport(import), "44100 Hz ステレオ → 11025 Hz モノラルに変換しました");
}

TEST_F(SoundImportTest, StereoChannelsAreAveraged) {
  // Left a tone, right its negative: the mix is silence, where taking one channel would keep the tone.
  const fs::path file = dir / "opposed.wav";
  ASSERT_TRUE(soxfiles::Sox("-n -r 11025 -c 2 -b 16 '" + file.string() +
                            "' synth 0.5 sine 300 sine 300 remix 1 2v-1 vol 0.5"));
  ASSERT_EQ(Import(file), SoundImportStatus::Ok);
  int peak = 0;
  for (int16_t s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
  EXPECT_LE(peak, 1);
}

TEST_F(SoundImportTest, FloatBeyondFullScaleIsClippedAndCounted) {
  // A float file may hold values beyond 1.0 (sox itself cannot write them, so the file is built here):
  // they stay at the 16-bit ends instead of wrapping round to the other sign.
  using namespace testsupport;
  const std::vector<float> values = {0.5f, 1.5f, -2.0f, 1.0f, -1.0f, 0.25f};
  std::string data;
  for (float v : values) {
    uint32_t bits = 0;
    std::memcpy(&bits, &v, 4);
    data += Le32(bits);
  }
  const fs::path file = dir / "loud.wav";
  WriteFile(file, Riff(Fmt({.tag = 3, .channels = 1, .rate = 11025, .bits = 32}) + Chunk("data", data)));
  ASSERT_EQ(Import(file), SoundImportStatus::Ok);
  EXPECT_EQ(samples, (std::vector<int16_t>{16384, 32767, -32768, 32767, -32768, 8192}));
  EXPECT_EQ(import.clipped, 2u + 1u) << "1.5, -2.0, and 1.0 (one step above the largest sample)";
  EXPECT_NE(DescribeSoundImport(import).find("3 サンプルが 16 ビットの範囲を超えたため切り詰めました"), std::string::npos);
}

struct BadCase {
  const char* name;
  SoundImportStatus status;
  const char* message;
};

class SoundImportRefusals : public SoundImportTest, public ::testing::WithParamInterface<BadCase> {
 protected:
  // Makes the file of the case; returns its path.
  fs::path Make(const std::string& name) {
    if (name == "text") {
      const fs::path file = dir / "notes.wav";
      std::ofstream(file) << "This is a text file, not a recording.\n";
      return file;
    }
    if (name == "empty") {
      const fs::path file = dir / "empty.wav";
      std::ofstream{file};
      return file;
    }
    if (name == "nosamples") {
      const fs::path file = dir / "nosamples.wav";
      EXPECT_TRUE(soxfiles::Convert({}, 11025, "", file));
      return file;
    }
    if (name == "truncatedflac") {
      const fs::path whole = dir / "whole.flac";
      EXPECT_TRUE(Sine(3.0, 440.0, "-r 48000 -c 1 -b 16", whole));
      const fs::path file = dir / "cut.flac";
      fs::copy_file(whole, file);
      fs::resize_file(file, fs::file_size(whole) / 2);
      return file;
    }
    if (name == "fifo") {
      const fs::path file = dir / "pipe.wav";
      EXPECT_EQ(mkfifo(file.c_str(), 0600), 0);
      return file;
    }
    if (name == "folder") {
      const fs::path file = dir / "folder.wav";
      fs::create_directory(file);
      return file;
    }
    return dir / "missing.flac";
  }
};

TEST_P(SoundImportRefusals, NamesTheProblemAndTheFile) {
  const BadCase& c = GetParam();
  const fs::path file = Make(c.name);
  // What the stream held before goes, also when the import fails.
  const std::vector<int16_t> before(10, 1);
  ASSERT_TRUE(sound.Write(before.data(), 10, nullptr));
  EXPECT_EQ(Import(file), c.status);
  EXPECT_TRUE(samples.empty());
  const std::string message = SoundImportMessage(c.status, file.string());
  EXPECT_EQ(message, std::string(c.message) + "\n" + file.filename().string());
}

INSTANTIATE_TEST_SUITE_P(
    Bad, SoundImportRefusals,
    ::testing::Values(BadCase{"text", SoundImportStatus::Unsupported, "この形式の音声ファイルは読み込めません。"},
                      BadCase{"empty", SoundImportStatus::Unsupported, "この形式の音声ファイルは読み込めません。"},
                      BadCase{"nosamples", SoundImportStatus::Empty, "音声ファイルに音声が入っていません。"},
                      BadCase{"truncatedflac", SoundImportStatus::Damaged, "音声ファイルが壊れているか、途中で切れています。"},
                      BadCase{"fifo", SoundImportStatus::NotRegular, "通常のファイルではないため読み込めません。"},
                      BadCase{"folder", SoundImportStatus::NotRegular, "通常のファイルではないため読み込めません。"},
                      BadCase{"missing", SoundImportStatus::Missing, "音声ファイルが見つかりません。"}),
    [](const ::testing::TestParamInfo<BadCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vowelscope
