#pragma once
// How the C library's allocator treats the large blocks of a program that analyses file after file.

#include <cstddef>

namespace vowelscope::platform {

// Blocks of `bytes` and more (a file's sound, its tracks) are mapped on their own and go back to the
// system as soon as they are freed. Left to itself the allocator raises that bound to the largest
// block freed so far and keeps the freed sounds of each thread in its free lists, which a batch of
// files then carries as memory no file uses. Nothing happens where the library has no such setting.
void ReturnLargeBlocksAtOnce(std::size_t bytes);

}  // namespace vowelscope::platform
