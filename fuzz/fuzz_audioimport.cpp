// Feeds arbitrary bytes as an audio file to the import of any common format (the outside decoders
// behind the platform reader, the resampler, the mixing and the 16-bit rounding). A crash, an
// out-of-bounds access, a hang or a result that disagrees with what was read is a fault.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "Fuzzsupport.h"
#include "sound/Recordingformat.h"
#include "sound/Soundimport.h"

using namespace vowelscope;

using fuzz::Check;

// The decoders leak a little on some damaged streams (libvorbis keeps its header state when a file
// breaks off between headers); that is theirs, not a fault of the import, and would stop every run.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libvorbis.so\nleak:libvorbisenc.so\nleak:libogg.so\nleak:libFLAC.so\nleak:libopus.so\n"
         "leak:libmpg123.so\nleak:libmp3lame.so\nleak:libsndfile.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzz::ScratchFile scratch("fuzz_audioimport", "");
  if (!fuzz::WriteInput(scratch.path, data, size)) return 0;
  SoundImport import;
  SoundMemoryStream sound(RecordingFormat());
  const SoundImportStatus status = ImportSoundFile(scratch.path, 11025, import, sound);
  if (status != SoundImportStatus::Ok) {
    Check(sound.GetLength() == 0);
    Check(!SoundImportMessage(status, scratch.path).empty());
    return 0;
  }
  Check(import.sourceRate > 0 && import.sourceChannels > 0 && import.sourceFrames > 0);
  Check(import.clipped <= sound.GetLength());
  // The output is the input's length at the new rate, give or take the resampler's rounding.
  const double expected = static_cast<double>(import.sourceFrames) * 11025.0 / import.sourceRate;
  Check(std::fabs(static_cast<double>(sound.GetLength()) - expected) <= 2.0 + expected * 1e-6);
  Check(!DescribeSoundImport(import).empty());
  return 0;
}
