#pragma once
// Producers tell their listeners through these: a callback bound to an object and one of its member
// functions, copied into the producer's container. Notify runs the listeners on the producer's thread.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace vowelscope {

template <typename T>
class Callback {
 public:
  virtual ~Callback() = default;
  virtual void Invoke(T& payload) = 0;
  virtual bool Equals(const Callback<T>& other) const = 0;
  virtual Callback<T>* Clone() const = 0;
};

template <typename C, typename T>
class CallbackMethod : public Callback<T> {
 public:
  using Method = void (C::*)(T&);

  CallbackMethod(C* object, Method method) : object(object), method(method) {}

  void Invoke(T& payload) override { (object->*method)(payload); }

  bool Equals(const Callback<T>& other) const override {
    auto* same = dynamic_cast<const CallbackMethod<C, T>*>(&other);
    return same != nullptr && same->object == object && same->method == method;
  }

  Callback<T>* Clone() const override { return new CallbackMethod<C, T>(*this); }

 private:
  C* object;
  Method method;
};

// Holds the callbacks of one producer. No lock: every Add happens before the producer first notifies,
// and only the producer's own thread calls Notify.
template <typename T>
class CallbackContainer {
 public:
  CallbackContainer() = default;
  virtual ~CallbackContainer() = default;
  CallbackContainer(const CallbackContainer&) = delete;
  CallbackContainer& operator=(const CallbackContainer&) = delete;

  // Stores a clone of the callback unless an equal one is stored already.
  void Add(const Callback<T>& callback) {
    for (const auto& stored : callbacks) {
      if (callback.Equals(*stored)) return;
    }
    callbacks.emplace_back(callback.Clone());
  }

  void Notify(T& payload) {
    for (const auto& stored : callbacks) stored->Invoke(payload);
  }

  size_t Count() const { return callbacks.size(); }

 private:
  std::vector<std::unique_ptr<Callback<T>>> callbacks;
};

struct ProgressCallbackParams {
  int32_t minimum = 0;
  int32_t maximum = 0;
  int32_t position = 0;
};

using ProgressCallback = Callback<ProgressCallbackParams>;
using ProgressCallbackContainer = CallbackContainer<ProgressCallbackParams>;

}  // namespace vowelscope
