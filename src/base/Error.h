#pragma once
// The error a user must see: a fixed Japanese message (UTF-8). Only the Engine's save and load and the
// window's commands throw it; the window shows it in a message box and carries on.

#include <stdexcept>
#include <string>

namespace vowelscope {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace vowelscope
