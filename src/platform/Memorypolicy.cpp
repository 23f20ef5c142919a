#include "platform/Memorypolicy.h"

#include <climits>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace vowelscope::platform {

void ReturnLargeBlocksAtOnce(std::size_t bytes) {
#if defined(__GLIBC__)
  // Setting the bound also turns off its adjustment to the blocks freed.
  mallopt(M_MMAP_THRESHOLD, static_cast<int>(bytes > INT_MAX ? INT_MAX : bytes));
#else
  (void)bytes;
#endif
}

}  // namespace vowelscope::platform
