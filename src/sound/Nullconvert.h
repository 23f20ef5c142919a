#pragma once
// The conversion step between two equal formats: the bytes pass unchanged.

#include "sound/Soundconverter.h"

namespace vowelscope {

class NullConvert : public SoundConvertComponent {
 public:
  NullConvert() = default;
  ~NullConvert() override = default;

  bool CanConvert(const SoundFormat& from, const SoundFormat& to) override { return from == to; }
  SoundConvertComponent* Clone() const override { return new NullConvert(*this); }
  bool BeginConvert(const SoundFormat& from, const SoundFormat& to, unsigned maxInFrames,
                    int& maxOutFrames) override;
  bool Convert(const void* input, int inFrames, void* output, int* outFrames) override;
  bool Flush(void* output, int* outFrames) override;

 private:
  int frameBytes = 0;
};

}  // namespace vowelscope
