// The GLib main loop: cross-thread posts, delayed tasks, timers, and the hold during modals.
#include "frontends/gtk/glib_main_loop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "tests/system/gtk/gtk_testing.h"

namespace kestrova::gtk {
namespace {

using std::chrono::milliseconds;
using testing::spinFor;
using testing::spinUntil;

// Modals below are the loop's modal flag raised while the default context keeps being iterated,
// which is what gtk_dialog_run does under a dialog.

// Runs the loop until everything posted so far has run.
void drainPosts(GlibMainLoop& loop) {
  bool marker = false;
  loop.post([&] { marker = true; });
  ASSERT_TRUE(spinUntil([&] { return marker; }));
}

TEST(GlibMainLoop, PostsRunOnTheMainThreadInOrderAndNeverInsideTheCaller) {
  GlibMainLoop loop;
  bool ranFromMain = false;
  loop.post([&] { ranFromMain = true; });
  EXPECT_FALSE(ranFromMain);

  const auto mainThread = std::this_thread::get_id();
  std::vector<int> order;
  bool allOnMain = true;
  std::thread worker([&] {
    for (int i = 0; i < 100; ++i) {
      loop.post([&, i] {
        allOnMain = allOnMain && std::this_thread::get_id() == mainThread;
        order.push_back(i);
      });
    }
  });
  worker.join();
  ASSERT_TRUE(spinUntil([&] { return order.size() == 100; }));
  EXPECT_TRUE(ranFromMain);
  EXPECT_TRUE(allOnMain);
  std::vector<int> expected(100);
  std::iota(expected.begin(), expected.end(), 0);
  EXPECT_EQ(order, expected);
}

TEST(GlibMainLoop, DelayedTasksRunInDueOrderAndTimersTickUntilCancelledOrDestroyed) {
  GlibMainLoop loop;
  std::vector<std::string> order;
  loop.postAfter(0.15, [&] { order.emplace_back("late"); });
  loop.postAfter(0.05, [&] { order.emplace_back("early"); });

  int cancelledTicks = 0;
  int destroyedTicks = 0;
  int selfCancelledTicks = 0;
  auto cancelled = loop.repeat(0.01, [&] { ++cancelledTicks; });
  auto destroyed = loop.repeat(0.01, [&] { ++destroyedTicks; });
  std::unique_ptr<Timer> selfCancelled;
  selfCancelled = loop.repeat(0.01, [&] {
    ++selfCancelledTicks;
    selfCancelled.reset();  // from inside its own tick
  });
  ASSERT_TRUE(spinUntil([&] { return cancelledTicks >= 3 && destroyedTicks >= 3; }));
  cancelled->cancel();
  destroyed.reset();
  const int afterCancel = cancelledTicks;
  const int afterDestroy = destroyedTicks;
  bool later = false;
  loop.postAfter(0.2, [&] { later = true; });
  ASSERT_TRUE(spinUntil([&] { return later; }));
  EXPECT_EQ(order, (std::vector<std::string>{"early", "late"}));
  EXPECT_EQ(cancelledTicks, afterCancel);
  EXPECT_EQ(destroyedTicks, afterDestroy);
  EXPECT_EQ(selfCancelledTicks, 1);
}

// The Mac holds timers in the default run-loop mode while a modal alert runs; the core relies
// on it: no poll while an alert is open, and the held tick runs once after it closes, however
// many it missed.
TEST(GlibMainLoop, TimersAndDelayedTasksDueDuringAModalFireOnceOnlyAfterItCloses) {
  GlibMainLoop loop;
  int ticks = 0;
  bool delayedRan = false;
  bool postRan = false;
  // The tick due at 1 s falls under the modal; the next regular one is most of a second after
  // the release at 1.1 s, far beyond the few milliseconds the release takes.
  auto timer = loop.repeat(1.0, [&] { ++ticks; });
  loop.postAfter(0.02, [&] { delayedRan = true; });
  loop.modalBegan();
  loop.post([&] { postRan = true; });
  spinFor(milliseconds(1100));
  EXPECT_EQ(ticks, 0) << "a tick came due under the modal and fired";
  EXPECT_FALSE(delayedRan) << "a delayed task came due under the modal and ran";
  EXPECT_TRUE(postRan) << "posts carry replies from other threads and are not held";
  loop.modalEnded();
  EXPECT_EQ(ticks, 0) << "held work runs from the loop, not inside modalEnded";
  // Runs exactly the released work: modalEnded posted it, ahead of any new tick.
  drainPosts(loop);
  EXPECT_TRUE(delayedRan);
  EXPECT_EQ(ticks, 1);
}

// Under an outer modal, closing the inner one releases nothing; a timer cancelled while held
// does not fire when the outer one closes.
TEST(GlibMainLoop, NestedModalsHoldUntilTheOutermostClosesAndCancelledHeldTimersStayQuiet) {
  GlibMainLoop loop;
  bool ran = false;
  int ticks = 0;
  loop.postAfter(0.01, [&] { ran = true; });
  auto timer = loop.repeat(0.01, [&] { ++ticks; });
  loop.modalBegan();
  loop.modalBegan();
  spinFor(milliseconds(100));
  loop.modalEnded();
  drainPosts(loop);
  EXPECT_FALSE(ran) << "the outer modal is still open";
  timer->cancel();
  loop.modalEnded();
  EXPECT_TRUE(spinUntil([&] { return ran; }));
  spinFor(milliseconds(50));
  EXPECT_EQ(ticks, 0);
}

TEST(GlibMainLoop, DestroyingTheLoopDropsWhatIsStillScheduled) {
  int ran = 0;
  {
    GlibMainLoop loop;
    loop.post([&] { ++ran; });
    loop.postAfter(0.01, [&] { ++ran; });
  }
  spinFor(milliseconds(50));
  EXPECT_EQ(ran, 0);
}

}  // namespace
}  // namespace kestrova::gtk
