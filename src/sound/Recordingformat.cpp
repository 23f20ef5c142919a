#include "sound/Recordingformat.h"

namespace vowelscope {

SoundFormat RecordingFormat() {
  SoundFormat format;
  format.SetKind(PcmSigned);
  format.SetNativeLayout(1);
  format.SetChannels(1);
  format.SetSampleRate(kRecordingRate);
  format.SetBitsPerSample(16);
  return format;
}

}  // namespace vowelscope
