#pragma once
// Streaming sample-rate conversion of one channel of float samples at very high quality (a linear-phase
// filter with a flat pass band to about 91 % of the lower Nyquist frequency and 175 dB of rejection).
// Memory stays bounded whatever the length: the caller feeds blocks and collects what comes out.

#include <cstddef>
#include <memory>
#include <vector>

namespace vowelscope::platform {

class Resampler {
 public:
  Resampler(double inputRate, double outputRate);
  ~Resampler();
  Resampler(const Resampler&) = delete;
  Resampler& operator=(const Resampler&) = delete;

  // False when the rates were refused (not positive, or out of the converter's range).
  bool IsValid() const;
  // Appends the output that `count` input samples produce to `output`. False on a converter failure.
  bool Process(const float* input, size_t count, std::vector<float>& output);
  // Appends what the filter still holds at the end of the input. Call once, after the last Process.
  bool Flush(std::vector<float>& output);
  // The output samples an input of `inputSamples` gives in all, rounded as the converter rounds.
  size_t OutputLength(size_t inputSamples) const;

 private:
  struct Handle;
  std::unique_ptr<Handle> handle;
  double ratio;
};

}  // namespace vowelscope::platform
