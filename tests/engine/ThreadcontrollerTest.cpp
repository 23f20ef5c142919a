#include "engine/Threadcontroller.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace vowelscope {
namespace {

using namespace std::chrono_literals;

// What a job shares with the test; the job finds it through the controller's user data.
struct Shared {
  std::atomic<bool> release{false};  // the gated job returns once this is set
  std::atomic<int> runs{0};
  std::atomic<bool> finished{false};
  std::thread::id postedOn;
  int postedCalls = 0;  // touched only by posted calls, on the owner's thread
};

Shared& SharedOf(ThreadController* controller) { return *static_cast<Shared*>(controller->GetUserData()); }

void GatedJob(ThreadController* controller) {
  Shared& shared = SharedOf(controller);
  shared.runs++;
  while (!shared.release) std::this_thread::sleep_for(1ms);
  shared.finished = true;
}

void CountingJob(ThreadController* controller) { SharedOf(controller).runs++; }

void SlowJob(ThreadController* controller) {
  std::this_thread::sleep_for(150ms);
  SharedOf(controller).finished = true;
}

void RecordCall(void* argument) {
  Shared& shared = *static_cast<Shared*>(argument);
  shared.postedOn = std::this_thread::get_id();
  shared.postedCalls++;
}

void PostingJob(ThreadController* controller) {
  controller->Post(nullptr, nullptr);
  controller->Post(&RecordCall, controller->GetUserData());
  controller->Post(&RecordCall, controller->GetUserData());
}

void WaitUntilEnded(ThreadController& controller) {
  for (int i = 0; i < 5000 && controller.IsRunning(); ++i) std::this_thread::sleep_for(1ms);
  ASSERT_FALSE(controller.IsRunning());
}

TEST(ThreadController, IdleController_RefusesNullJob_WaitReturnsAtOnce) {
  ThreadController controller;
  EXPECT_FALSE(controller.IsRunning());
  EXPECT_FALSE(controller.Run(nullptr));
  EXPECT_FALSE(controller.IsRunning());
  const auto start = std::chrono::steady_clock::now();
  controller.Wait(ThreadController::INFINITE);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

TEST(ThreadController, Run_RefusedWhileAJobRuns_RunningJobEndsNormally) {
  Shared shared;
  ThreadController controller;
  controller.SetUserData(&shared);
  ASSERT_TRUE(controller.Run(&GatedJob));
  EXPECT_TRUE(controller.IsRunning());

  EXPECT_FALSE(controller.Run(&CountingJob));
  EXPECT_FALSE(controller.Run(nullptr));
  controller.CloseThread();  // must not let go of a running job
  EXPECT_TRUE(controller.IsRunning());

  shared.release = true;
  controller.Wait(ThreadController::INFINITE);
  EXPECT_FALSE(controller.IsRunning());
  EXPECT_TRUE(shared.finished);
  EXPECT_EQ(shared.runs, 1) << "the refused job never started";
}

TEST(ThreadController, Run_AfterAFinishedJob_StartsANewWorker) {
  Shared shared;
  shared.release = true;
  ThreadController controller;
  controller.SetUserData(&shared);
  ASSERT_TRUE(controller.Run(&CountingJob));
  WaitUntilEnded(controller);

  // The finished job's thread is still held; the next Run releases it and starts another.
  ASSERT_TRUE(controller.Run(&GatedJob));
  controller.Wait(ThreadController::INFINITE);
  EXPECT_EQ(shared.runs, 2);
  EXPECT_TRUE(shared.finished);

  controller.CloseThread();
  EXPECT_FALSE(controller.IsRunning());
  ASSERT_TRUE(controller.Run(&CountingJob)) << "also after CloseThread";
  controller.Wait(ThreadController::INFINITE);
  EXPECT_EQ(shared.runs, 3);
}

TEST(ThreadController, Destruction_WaitsForTheRunningJob) {
  Shared shared;
  {
    ThreadController controller;
    controller.SetUserData(&shared);
    ASSERT_TRUE(controller.Run(&SlowJob));
  }
  EXPECT_TRUE(shared.finished);
}

TEST(ThreadController, Wait_DispatchesPostedCallsOnTheOwnersThread) {
  Shared shared;
  ThreadController controller;
  controller.SetUserData(&shared);
  ASSERT_TRUE(controller.Run(&PostingJob));
  controller.Wait(ThreadController::INFINITE);
  EXPECT_EQ(shared.postedCalls, 2) << "the null call is consumed without effect";
  EXPECT_EQ(shared.postedOn, std::this_thread::get_id());
}

TEST(ThreadController, Destruction_DispatchesCallsPostedWhileItWaits) {
  Shared shared;
  auto controller = std::make_unique<ThreadController>();
  controller->SetUserData(&shared);
  ASSERT_TRUE(controller->Run(&GatedJob));
  // Another thread posts while the owner is blocked in the destructor, then lets the job end.
  ThreadController* target = controller.get();
  std::thread poster([&shared, target] {
    std::this_thread::sleep_for(20ms);
    target->Post(&RecordCall, &shared);
    std::this_thread::sleep_for(20ms);
    shared.release = true;
  });
  controller.reset();
  poster.join();
  EXPECT_TRUE(shared.finished);
  EXPECT_EQ(shared.postedCalls, 1);
  EXPECT_EQ(shared.postedOn, std::this_thread::get_id());
}

TEST(ThreadController, Wait_WithTimeOut_ReturnsWhileTheJobRuns) {
  Shared shared;
  ThreadController controller;
  controller.SetUserData(&shared);
  ASSERT_TRUE(controller.Run(&GatedJob));

  const auto start = std::chrono::steady_clock::now();
  controller.Wait(50);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, 50ms);
  EXPECT_LT(waited, 2s);
  EXPECT_TRUE(controller.IsRunning());

  // Posted calls do not stretch the time-out.
  controller.Post(&RecordCall, &shared);
  controller.Wait(30);
  EXPECT_EQ(shared.postedCalls, 1);
  EXPECT_TRUE(controller.IsRunning());

  shared.release = true;
  controller.Wait(ThreadController::INFINITE);
  EXPECT_FALSE(controller.IsRunning());
}

TEST(ThreadController, TwoControllers_RunIndependently) {
  Shared first, second;
  ThreadController a, b;
  a.SetUserData(&first);
  b.SetUserData(&second);
  ASSERT_TRUE(a.Run(&GatedJob));
  ASSERT_TRUE(b.Run(&CountingJob));
  b.Wait(ThreadController::INFINITE);
  EXPECT_EQ(second.runs, 1);
  EXPECT_TRUE(a.IsRunning());
  first.release = true;
}

}  // namespace
}  // namespace vowelscope
