#pragma once
// What the window tests share: a synthetic voice to record and a wait that keeps the event loop running.

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

namespace vowelscope::wndtest {

constexpr int kRate = 11025;

// A vowel-like voice: a pulse train at `pitch` Hz through resonators at `f1` and `f2`.
inline std::vector<int16_t> Voice(double seconds, double pitch, double f1 = 700, double f2 = 1200) {
  const size_t n = static_cast<size_t>(seconds * kRate);
  std::vector<double> x(n, 0.0);
  for (size_t pulse = 0;; ++pulse) {
    const auto at = static_cast<size_t>(pulse * kRate / pitch);
    if (at >= n) break;
    x[at] = 1.0;
  }
  for (double f : {f1, f2}) {
    const double r = std::exp(-M_PI * 90.0 / kRate);
    const double c1 = 2 * r * std::cos(2 * M_PI * f / kRate);
    const double c2 = -r * r;
    double y1 = 0, y2 = 0;
    for (double& v : x) {
      const double y = v * (1 - c1 - c2) + c1 * y1 + c2 * y2;
      y2 = y1;
      y1 = y;
      v = y;
    }
  }
  double peak = 1e-9;
  for (double v : x) peak = std::max(peak, std::abs(v));
  std::vector<int16_t> samples(n);
  for (size_t i = 0; i < n; ++i) samples[i] = static_cast<int16_t>(x[i] / peak * 12000);
  return samples;
}

// Processes events until `done` holds; false after `limitMs`.
inline bool WaitUntil(const std::function<bool()>& done, int limitMs = 60000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > limitMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace vowelscope::wndtest
