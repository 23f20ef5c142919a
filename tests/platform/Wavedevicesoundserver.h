#pragma once
// For the tests that use the real sound path (PortAudio, ALSA, the test sound server): the skip rule
// and the sanitizer settings those libraries need. Include it in one file of such a test program.

#include <gtest/gtest.h>

#include <dirent.h>
#include <dlfcn.h>

#include <cstdlib>
#include <string>

#include "support/Cienvironment.h"

namespace vowelscope::wavetest {

// Empty when the test sound server is up (scripts/test starts it and sets VOWELSCOPE_SOUND_SERVER).
inline std::string MissingSoundServer() {
  const char* v = std::getenv("VOWELSCOPE_SOUND_SERVER");
  return v != nullptr && *v != '\0' ? "" : "no test sound server (VOWELSCOPE_SOUND_SERVER is not set; scripts/test starts it)";
}

using testsupport::InCi;

// ALSA loads its plugins and unloads them again; what they keep for the life of the process would
// then be reported as leaked from unknown code. Pinned, they keep their names for the suppressions below.
inline bool PinSoundPlugins() {
  const std::string folder = "/usr/lib/x86_64-linux-gnu/alsa-lib";
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name.rfind("libasound_module_", 0) == 0) dlopen((folder + "/" + name).c_str(), RTLD_LAZY | RTLD_NODELETE);
    }
    closedir(dir);
  }
  return true;
}

inline const bool soundPluginsPinned = PinSoundPlugins();

}  // namespace vowelscope::wavetest

// ThreadSanitizer: the sound libraries are not instrumented, so their own hand-offs (shared-memory
// rings, futexes) look like races in the C library calls they make. Those calls are ignored; every
// access of ours, the audio callbacks included, is still checked.
extern "C" const char* __tsan_default_options() { return "ignore_noninstrumented_modules=1"; }
// LeakSanitizer: what the sound libraries keep for the life of the process is theirs.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libasound\nleak:libpulse\nleak:libjack\nleak:libportaudio\nleak:libdbus\n";
}

// Skips the test for the reason given, unless it is empty; under CI a missing sound path is a failure.
#define VS_REQUIRE_SOUND(reason)                                 \
  do {                                                           \
    std::string vsWhy = (reason);                                \
    if (!vsWhy.empty()) {                                        \
      if (::vowelscope::wavetest::InCi()) FAIL() << vsWhy;       \
      GTEST_SKIP() << vsWhy;                                     \
    }                                                            \
  } while (0)
