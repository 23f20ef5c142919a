#pragma once
// Persistent variables, declared rather than coded: a property binds one variable of its owner to a place
// in a storage file, and a property list loads or saves every property it holds with one call.
// The variable's current value is the default a read falls back on, so owners set defaults before loading.

#include <list>
#include <memory>

namespace vowelscope {

// One persistent variable. The variable is not owned and must outlive the property.
class AppProperty {
 public:
  virtual ~AppProperty() = default;
  // Sets the variable from the file; true when done.
  virtual bool Read(const char* fileName) = 0;
  // Stores the variable's value in the file; true when the file took it.
  virtual bool Write(const char* fileName) = 0;
  // A new property of the same kind bound to the same variable.
  virtual std::unique_ptr<AppProperty> Clone() const = 0;

 protected:
  explicit AppProperty(void* value) : value(value) {}
  AppProperty(const AppProperty&) = default;
  AppProperty& operator=(const AppProperty&) = delete;

  void* value;  // the bound variable; its type is fixed by the leaf class
};

// An owned list of properties in registration order.
class AppPropertyList {
 public:
  AppPropertyList() = default;
  AppPropertyList(const AppPropertyList&) = delete;
  AppPropertyList& operator=(const AppPropertyList&) = delete;
  virtual ~AppPropertyList() = default;

  virtual bool Load() = 0;
  virtual bool Save() = 0;

  // Appends a clone of property, so the caller may pass a temporary. Always true.
  bool Add(const AppProperty& property);

 protected:
  // Read (or Write) every property in list order; the first one that fails ends the walk with false.
  bool ReadAll(const char* fileName);
  bool WriteAll(const char* fileName);

  std::list<std::unique_ptr<AppProperty>> properties;
};

}  // namespace vowelscope
