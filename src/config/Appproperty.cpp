#include "config/Appproperty.h"

namespace vowelscope {

bool AppPropertyList::Add(const AppProperty& property) {
  properties.push_back(property.Clone());
  return true;
}

bool AppPropertyList::ReadAll(const char* fileName) {
  for (const auto& p : properties) {
    if (!p->Read(fileName)) return false;
  }
  return true;
}

bool AppPropertyList::WriteAll(const char* fileName) {
  for (const auto& p : properties) {
    if (!p->Write(fileName)) return false;
  }
  return true;
}

}  // namespace vowelscope
