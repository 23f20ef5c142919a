#include "base/Callback.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vowelscope {
namespace {

struct Listener {
  explicit Listener(std::string name = "") : name(std::move(name)) {}
  void OnProgress(ProgressCallbackParams& p) { seen.push_back(name + ":progress " + std::to_string(p.position)); }
  void OnOther(ProgressCallbackParams& p) { seen.push_back(name + ":other " + std::to_string(p.position)); }
  std::string name;
  std::vector<std::string> seen;
};

// Same address as a Listener when it is one: the pointers of the two callbacks below coincide.
struct DerivedListener : Listener {
  void OnDerived(ProgressCallbackParams&) { seen.push_back("derived"); }
};

using ListenerCallback = CallbackMethod<Listener, ProgressCallbackParams>;

TEST(Callback, Equals_SameObjectAndSameMethodOnly) {
  Listener a, b;
  const ListenerCallback aProgress(&a, &Listener::OnProgress);
  EXPECT_TRUE(aProgress.Equals(ListenerCallback(&a, &Listener::OnProgress)));
  EXPECT_FALSE(aProgress.Equals(ListenerCallback(&a, &Listener::OnOther)));
  EXPECT_FALSE(aProgress.Equals(ListenerCallback(&b, &Listener::OnProgress)));

  std::unique_ptr<ProgressCallback> clone(aProgress.Clone());
  EXPECT_TRUE(clone->Equals(aProgress));
  EXPECT_TRUE(aProgress.Equals(*clone));
}

TEST(Callback, DifferentListenerClassesAreNeverEqual_EvenAtOneAddress) {
  DerivedListener d;
  const ListenerCallback asBase(&d, &Listener::OnProgress);
  const CallbackMethod<DerivedListener, ProgressCallbackParams> asDerived(&d, &Listener::OnProgress);
  ASSERT_EQ(static_cast<void*>(static_cast<Listener*>(&d)), static_cast<void*>(&d));
  EXPECT_FALSE(asBase.Equals(asDerived));
  EXPECT_FALSE(asDerived.Equals(asBase));

  ProgressCallbackContainer container;
  container.Add(asBase);
  container.Add(asDerived);
  EXPECT_EQ(container.Count(), 2u);
}

TEST(CallbackContainer, Add_StoresEachTargetOnce_NotifyCallsInRegistrationOrder) {
  Listener a("a"), b("b");
  ProgressCallbackContainer container;
  ProgressCallbackParams p{0, 10, 3};
  container.Notify(p);  // nothing stored: nothing happens

  container.Add(ListenerCallback(&a, &Listener::OnProgress));
  container.Add(ListenerCallback(&b, &Listener::OnProgress));
  container.Add(ListenerCallback(&a, &Listener::OnOther));
  container.Add(ListenerCallback(&a, &Listener::OnProgress));  // again: ignored
  EXPECT_EQ(container.Count(), 3u);

  container.Notify(p);
  EXPECT_EQ(a.seen, (std::vector<std::string>{"a:progress 3", "a:other 3"}));
  EXPECT_EQ(b.seen, (std::vector<std::string>{"b:progress 3"}));
}

// A payload like a device's: what happened and a count.
struct DevicePayload {
  int32_t type = 0;
  int32_t samples = 0;
};
using DeviceCallback = Callback<DevicePayload>;

// A callback that counts how many of its kind exist, to watch what the container copies and deletes.
struct CountedCallback : DeviceCallback {
  explicit CountedCallback(int id) : id(id) { ++alive; }
  CountedCallback(const CountedCallback& other) : DeviceCallback(), id(other.id) { ++alive; }
  ~CountedCallback() override { --alive; }
  void Invoke(DevicePayload& p) override { p.samples += id; }
  bool Equals(const DeviceCallback& other) const override {
    auto* same = dynamic_cast<const CountedCallback*>(&other);
    return same != nullptr && same->id == id;
  }
  DeviceCallback* Clone() const override { return new CountedCallback(*this); }
  int id;
  static inline int alive = 0;
};

TEST(CallbackContainer, OwnsOneCloneEach_DeletesThemOnceAtDestruction) {
  CountedCallback::alive = 0;
  {
    CallbackContainer<DevicePayload> container;
    container.Add(CountedCallback(1));
    EXPECT_EQ(CountedCallback::alive, 1) << "the clone outlives the caller's temporary";
    container.Add(CountedCallback(1));
    EXPECT_EQ(CountedCallback::alive, 1) << "an equal callback is neither cloned nor stored";
    container.Add(CountedCallback(2));
    EXPECT_EQ(CountedCallback::alive, 2);

    DevicePayload p{3, 100};
    container.Notify(p);
    EXPECT_EQ(p.samples, 103) << "listeners see, and may change, the one payload";
  }
  EXPECT_EQ(CountedCallback::alive, 0);
}

TEST(CallbackContainer, PayloadsOfAnyTypeReachBoundListeners) {
  struct Measurement {
    double power, f1, f2;
  };
  struct Trail {
    void OnFormant(Measurement& v) { f1s.push_back(v.f1); }
    std::vector<double> f1s;
  } trail;
  CallbackContainer<Measurement> container;
  container.Add(CallbackMethod<Trail, Measurement>(&trail, &Trail::OnFormant));
  Measurement v{60.0, 700.0, 1200.0};
  container.Notify(v);
  EXPECT_EQ(trail.f1s, std::vector<double>{700.0});
}

}  // namespace
}  // namespace vowelscope
