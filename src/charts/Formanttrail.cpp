#include "charts/Formanttrail.h"

#include "charts/Formantchart.h"

namespace vowelscope {

FormantTrail::FormantTrail(size_t length) : values(length) {}

void FormantTrail::Add(const FormantValue& value) {
  const std::lock_guard<std::mutex> hold(lock);
  FormantChart::AddToTrail(values, value);
}

void FormantTrail::SetForPlayback(const std::vector<FormantValue>& track, uint32_t position) {
  const std::lock_guard<std::mutex> hold(lock);
  FormantChart::SetTrailForPlayback(values, track, position);
}

void FormantTrail::Clear() {
  const std::lock_guard<std::mutex> hold(lock);
  values.assign(values.size(), FormantValue{});
}

void FormantTrail::Fade() {
  const std::lock_guard<std::mutex> hold(lock);
  FormantChart::AddToTrail(values, FormantValue{});
}

std::vector<FormantValue> FormantTrail::Snapshot() const {
  const std::lock_guard<std::mutex> hold(lock);
  return values;
}

FormantValue FormantTrail::Newest() const {
  const std::lock_guard<std::mutex> hold(lock);
  return values.empty() ? FormantValue{} : values.front();
}

bool FormantTrail::IsEmpty() const {
  const std::lock_guard<std::mutex> hold(lock);
  for (const FormantValue& v : values) {
    if (v.f1 != 0 || v.f2 != 0) return false;
  }
  return true;
}

}  // namespace vowelscope
