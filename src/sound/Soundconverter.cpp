#include "sound/Soundconverter.h"

#include <climits>
#include <cstddef>
#include <memory>
#include <new>

namespace vowelscope {

namespace {

// Lower layers report allocation failure by their result, so the buffers are allocated without throwing.
// They start zeroed, so a component that fills less than whole frames never passes on stale memory.
std::unique_ptr<uint8_t[]> AllocateBuffer(uint64_t bytes) {
  if (bytes > SIZE_MAX) return nullptr;
  return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[bytes == 0 ? 1 : static_cast<size_t>(bytes)]());
}

int32_t ClampToInt32(double value) {
  if (!(value > 0)) return 0;
  if (value >= static_cast<double>(INT32_MAX)) return INT32_MAX;
  return static_cast<int32_t>(value);
}

}  // namespace

SoundConvertExecuter::~SoundConvertExecuter() { delete converter; }

void SoundConvertExecuter::SetConverter(const SoundConvertComponent& component) {
  SoundConvertComponent* copy = component.Clone();
  delete converter;
  converter = copy;
}

bool SoundConvertExecuter::Run(SoundStream& source, SoundStream& destination) {
  const SoundFormat& from = source.GetFormat();
  const SoundFormat& to = destination.GetFormat();
  if (converter == nullptr || !converter->CanConvert(from, to)) return false;
  int maxOut = 0;
  if (!converter->BeginConvert(from, to, blockFrames, maxOut) || maxOut < 0) return false;

  auto input = AllocateBuffer(from.FramesToBytes(blockFrames));
  auto output = AllocateBuffer(to.FramesToBytes(static_cast<unsigned>(maxOut)));
  if (input == nullptr || output == nullptr) return false;

  // The expected number of output frames; a source without a rate cannot be scaled and counts as is.
  ProgressCallbackParams params;
  params.minimum = 0;
  params.maximum = from.GetSampleRate() == 0
                       ? ClampToInt32(source.GetLength())
                       : ClampToInt32(static_cast<double>(to.GetSampleRate()) * source.GetLength() /
                                      from.GetSampleRate());
  params.position = 0;
  progress.Notify(params);
  int64_t done = 0;  // the position field saturates rather than wraps on a very long source

  for (;;) {
    int got = 0;
    if (!source.Read(input.get(), blockFrames, &got) || got < 0) return false;
    int produced = 0;
    if (got > 0) {
      if (!converter->Convert(input.get(), got, output.get(), &produced)) return false;
      if (produced < 0 || produced > maxOut) return false;
      if (!destination.Write(output.get(), static_cast<unsigned>(produced), nullptr)) return false;
      done += produced;
      params.position = ClampToInt32(static_cast<double>(done));
      progress.Notify(params);
      continue;
    }
    if (!converter->Flush(output.get(), &produced)) return false;
    if (produced < 0 || produced > maxOut) return false;
    if (produced > 0 && !destination.Write(output.get(), static_cast<unsigned>(produced), nullptr)) return false;
    done += produced;
    params.position = ClampToInt32(static_cast<double>(done));
    progress.Notify(params);
    return true;
  }
}

}  // namespace vowelscope
