// The virtual-time loop is what every controller test stands on, so its ordering and its modal
// hold are checked here against the behaviour of the Mac's run loop.
#include "tests/support/virtual_loop.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace kestrova::testing {
namespace {

TEST(VirtualLoop, RunsPostsBeforeDelayedTasksAndDelayedTasksInDueOrder) {
  VirtualLoop loop;
  std::vector<std::string> ran;
  loop.postAfter(2.0, [&] { ran.push_back("late"); });
  loop.postAfter(1.0, [&] { ran.push_back("early"); });
  loop.postAfter(1.0, [&] { ran.push_back("early-second"); });
  loop.post([&] { ran.push_back("posted"); });

  loop.advance(1.5);
  EXPECT_EQ(ran, (std::vector<std::string>{"posted", "early", "early-second"}));
  EXPECT_DOUBLE_EQ(loop.now(), 1.5);
  loop.advance(1.0);
  EXPECT_EQ(ran.back(), "late");
}

TEST(VirtualLoop, DelayedTaskSeesTheClockAtItsDueTime) {
  VirtualLoop loop;
  double seen = -1;
  loop.postAfter(3.0, [&] { seen = loop.now(); });
  loop.advance(10.0);
  EXPECT_DOUBLE_EQ(seen, 3.0);
}

TEST(VirtualLoop, RepeatingTimerKeepsItsCadenceUntilCancelled) {
  VirtualLoop loop;
  std::vector<double> ticks;
  auto timer = loop.repeat(5.0, [&] { ticks.push_back(loop.now()); });
  loop.advance(16.0);
  EXPECT_EQ(ticks, (std::vector<double>{5.0, 10.0, 15.0}));
  timer.reset();
  loop.advance(20.0);
  EXPECT_EQ(ticks.size(), 3U);
}

TEST(VirtualLoop, ModalAlertHoldsTimersAndTheyFireOnceAfterItCloses) {
  VirtualLoop loop;
  std::vector<double> ticks;
  auto timer = loop.repeat(5.0, [&] { ticks.push_back(loop.now()); });
  bool delayedRan = false;
  loop.postAfter(1.0, [&] { delayedRan = true; });

  loop.modalBegan();
  loop.advance(60.0);
  EXPECT_TRUE(ticks.empty());
  EXPECT_FALSE(delayedRan);
  loop.modalEnded();

  loop.runUntilIdle();
  EXPECT_TRUE(delayedRan);
  ASSERT_EQ(ticks.size(), 1U);  // the missed ticks do not pile up
  EXPECT_DOUBLE_EQ(ticks[0], 60.0);
  loop.advance(5.0);
  EXPECT_EQ(ticks.size(), 2U);
}

TEST(VirtualLoop, PostsFromOtherThreadsAreRunOnTheLoopThread) {
  VirtualLoop loop;
  std::thread::id ranOn;
  std::thread poster([&] { loop.post([&] { ranOn = std::this_thread::get_id(); }); });
  EXPECT_TRUE(loop.runUntil([&] { return ranOn != std::thread::id{}; }));
  poster.join();
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(VirtualLoop, RunUntilGivesUpAfterItsRealLimit) {
  VirtualLoop loop;
  EXPECT_FALSE(loop.runUntil([] { return false; }, std::chrono::milliseconds(20)));
}

}  // namespace
}  // namespace kestrova::testing
