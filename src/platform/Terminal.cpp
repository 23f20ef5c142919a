#include "platform/Terminal.h"

#include <unistd.h>

namespace vowelscope::platform {

bool IsTerminal(std::FILE* stream) {
  if (stream == nullptr) return false;
  const int descriptor = ::fileno(stream);
  return descriptor >= 0 && ::isatty(descriptor) == 1;
}

}  // namespace vowelscope::platform
