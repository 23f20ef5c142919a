#pragma once
// Sets (or, with nullptr, removes) an environment variable for one scope, and puts the old value back.

#include <cstdlib>
#include <optional>
#include <string>

namespace vowelscope::testsupport {

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name(name) {
    if (const char* old = std::getenv(name)) saved = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ScopedEnv(const char* name, const std::string& value) : ScopedEnv(name, value.c_str()) {}
  ~ScopedEnv() {
    if (saved) {
      ::setenv(name, saved->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name;
  std::optional<std::string> saved;
};

}  // namespace vowelscope::testsupport
