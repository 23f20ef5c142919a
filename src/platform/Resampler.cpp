#include "platform/Resampler.h"

#include <soxr.h>

#include <cmath>

namespace vowelscope::platform {

namespace {
constexpr size_t kOutputChunk = 8192;
}

struct Resampler::Handle {
  soxr_t converter = nullptr;
  ~Handle() {
    if (converter != nullptr) soxr_delete(converter);
  }
};

Resampler::Resampler(double inputRate, double outputRate)
    : handle(std::make_unique<Handle>()), ratio(inputRate > 0 ? outputRate / inputRate : 0.0) {
  if (!(inputRate > 0) || !(outputRate > 0)) return;
  soxr_error_t error = nullptr;
  const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
  // One thread: the batch command runs files side by side, and the window has nothing else to do.
  const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
  handle->converter = soxr_create(inputRate, outputRate, 1, &error, &io, &quality, &runtime);
  if (error != nullptr && handle->converter != nullptr) {
    soxr_delete(handle->converter);
    handle->converter = nullptr;
  }
}

Resampler::~Resampler() = default;

bool Resampler::IsValid() const { return handle->converter != nullptr; }

bool Resampler::Process(const float* input, size_t count, std::vector<float>& output) {
  if (!IsValid()) return false;
  // Everything given is taken in one call as long as there is room for its output; the rest of the
  // output is drained chunk by chunk.
  size_t consumed = 0;
  do {
    const size_t start = output.size();
    const size_t room = static_cast<size_t>(std::ceil(static_cast<double>(count - consumed) * ratio)) + kOutputChunk;
    output.resize(start + room);
    size_t used = 0;
    size_t produced = 0;
    const soxr_error_t error =
        soxr_process(handle->converter, input + consumed, count - consumed, &used, output.data() + start, room, &produced);
    output.resize(start + produced);
    if (error != nullptr) return false;
    consumed += used;
    if (used == 0 && produced == 0) break;
  } while (consumed < count);
  return consumed == count;
}

bool Resampler::Flush(std::vector<float>& output) {
  if (!IsValid()) return false;
  for (;;) {
    const size_t start = output.size();
    output.resize(start + kOutputChunk);
    size_t produced = 0;
    const soxr_error_t error =
        soxr_process(handle->converter, nullptr, 0, nullptr, output.data() + start, kOutputChunk, &produced);
    output.resize(start + produced);
    if (error != nullptr) return false;
    if (produced < kOutputChunk) return true;
  }
}

size_t Resampler::OutputLength(size_t inputSamples) const {
  return static_cast<size_t>(std::llround(static_cast<double>(inputSamples) * ratio));
}

}  // namespace vowelscope::platform
