#pragma once
// Whether the tests run under CI, where a missing sound server or tool is a fault of the set-up that
// must fail the test, not a reason to skip it.

#include <cstdlib>
#include <string>

namespace vowelscope::testsupport {

inline bool InCi() {
  const char* v = std::getenv("CI");
  return v != nullptr && std::string(v) == "true";
}

}  // namespace vowelscope::testsupport
