#pragma once
// Whether a standard stream goes to a terminal, so a command-line tool draws progress only for a person.

#include <cstdio>

namespace vowelscope::platform {

// False for a file, a pipe, or a stream without a descriptor.
bool IsTerminal(std::FILE* stream);

}  // namespace vowelscope::platform
