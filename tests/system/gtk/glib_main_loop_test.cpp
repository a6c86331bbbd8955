// The GLib main loop: cross-thread posts, delayed tasks, timers, and the hold during modals.
#include "frontends/gtk/glib_main_loop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace kestrova::gtk {
namespace {

// Iterates the default context until the condition holds or a generous real-time limit passes.
bool spinUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done() && std::chrono::steady_clock::now() < deadline) {
    g_main_context_iteration(nullptr, FALSE);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return done();
}

// A nested main loop standing for a modal dialog: runs for `span` while the loop's modal
// flag is up, the way gtk_dialog_run iterates the same context under a dialog.
void runModal(GlibMainLoop& loop, std::chrono::milliseconds span) {
  loop.modalBegan();
  GMainLoop* nested = g_main_loop_new(nullptr, FALSE);
  g_timeout_add(
      static_cast<guint>(span.count()),
      [](gpointer data) -> gboolean {
        g_main_loop_quit(static_cast<GMainLoop*>(data));
        return G_SOURCE_REMOVE;
      },
      nested);
  g_main_loop_run(nested);
  g_main_loop_unref(nested);
  loop.modalEnded();
}

TEST(GlibMainLoop, PostsFromOtherThreadsRunOnTheMainThreadInOrder) {
  GlibMainLoop loop;
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
  EXPECT_TRUE(allOnMain);
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
  }
}

TEST(GlibMainLoop, APostFromTheMainThreadRunsLaterNotInsideTheCaller) {
  GlibMainLoop loop;
  bool ran = false;
  loop.post([&] { ran = true; });
  EXPECT_FALSE(ran);
  EXPECT_TRUE(spinUntil([&] { return ran; }));
}

TEST(GlibMainLoop, DelayedTasksRunInDueOrder) {
  GlibMainLoop loop;
  std::vector<std::string> order;
  loop.postAfter(0.15, [&] { order.emplace_back("late"); });
  loop.postAfter(0.05, [&] { order.emplace_back("early"); });
  ASSERT_TRUE(spinUntil([&] { return order.size() == 2; }));
  EXPECT_EQ(order, (std::vector<std::string>{"early", "late"}));
}

TEST(GlibMainLoop, TimersTickUntilCancelledOrDestroyed) {
  GlibMainLoop loop;
  int cancelledTicks = 0;
  int destroyedTicks = 0;
  auto cancelled = loop.repeat(0.01, [&] { ++cancelledTicks; });
  auto destroyed = loop.repeat(0.01, [&] { ++destroyedTicks; });
  ASSERT_TRUE(spinUntil([&] { return cancelledTicks >= 3 && destroyedTicks >= 3; }));
  cancelled->cancel();
  destroyed.reset();
  const int afterCancel = cancelledTicks;
  const int afterDestroy = destroyedTicks;
  bool later = false;
  loop.postAfter(0.1, [&] { later = true; });
  ASSERT_TRUE(spinUntil([&] { return later; }));
  EXPECT_EQ(cancelledTicks, afterCancel);
  EXPECT_EQ(destroyedTicks, afterDestroy);
}

TEST(GlibMainLoop, ATimerMayCancelItselfFromItsOwnTick) {
  GlibMainLoop loop;
  int ticks = 0;
  std::unique_ptr<Timer> timer;
  timer = loop.repeat(0.01, [&] {
    ++ticks;
    timer.reset();
  });
  bool later = false;
  loop.postAfter(0.1, [&] { later = true; });
  ASSERT_TRUE(spinUntil([&] { return later; }));
  EXPECT_EQ(ticks, 1);
}

// The Mac holds timers in the default run-loop mode while a modal alert runs; the core relies
// on it (no poll while an alert is open, the held tick runs once after it closes).
TEST(GlibMainLoop, TimersAndDelayedTasksDueDuringAModalFireOnlyAfterItCloses) {
  GlibMainLoop loop;
  int ticks = 0;
  bool delayedRan = false;
  bool postRan = false;
  auto timer = loop.repeat(0.02, [&] { ++ticks; });
  loop.postAfter(0.02, [&] { delayedRan = true; });

  loop.modalBegan();
  loop.post([&] { postRan = true; });
  GMainLoop* nested = g_main_loop_new(nullptr, FALSE);
  g_timeout_add(
      300,
      [](gpointer data) -> gboolean {
        g_main_loop_quit(static_cast<GMainLoop*>(data));
        return G_SOURCE_REMOVE;
      },
      nested);
  g_main_loop_run(nested);
  g_main_loop_unref(nested);
  EXPECT_EQ(ticks, 0) << "a tick came due under the modal and fired";
  EXPECT_FALSE(delayedRan) << "a delayed task came due under the modal and ran";
  EXPECT_TRUE(postRan) << "posts carry replies from other threads and are not held";
  loop.modalEnded();
  EXPECT_EQ(ticks, 0) << "held work runs from the loop, not inside modalEnded";

  ASSERT_TRUE(spinUntil([&] { return delayedRan && ticks >= 1; }));
  timer->cancel();
}

TEST(GlibMainLoop, ARepeatingTimerThatMissedManyTicksFiresOnceOnRelease) {
  GlibMainLoop loop;
  int ticks = 0;
  // Ticks due at 0.15 s and 0.3 s fall under the modal; the next regular one is well after the
  // release at 0.4 s.
  auto timer = loop.repeat(0.15, [&] { ++ticks; });
  runModal(loop, std::chrono::milliseconds(400));
  // Run exactly the released work: it was posted by modalEnded, ahead of any new tick.
  bool marker = false;
  loop.post([&] { marker = true; });
  ASSERT_TRUE(spinUntil([&] { return marker; }));
  EXPECT_EQ(ticks, 1);
  timer->cancel();
}

TEST(GlibMainLoop, NestedModalsHoldUntilTheOutermostCloses) {
  GlibMainLoop loop;
  bool ran = false;
  loop.postAfter(0.01, [&] { ran = true; });
  loop.modalBegan();
  runModal(loop, std::chrono::milliseconds(100));
  bool marker = false;
  loop.post([&] { marker = true; });
  ASSERT_TRUE(spinUntil([&] { return marker; }));
  EXPECT_FALSE(ran) << "the outer modal is still open";
  loop.modalEnded();
  EXPECT_TRUE(spinUntil([&] { return ran; }));
}

TEST(GlibMainLoop, ATimerCancelledWhileHeldDoesNotFireOnRelease) {
  GlibMainLoop loop;
  int ticks = 0;
  auto timer = loop.repeat(0.01, [&] { ++ticks; });
  loop.modalBegan();
  runModal(loop, std::chrono::milliseconds(100));  // nested: still held afterwards
  timer->cancel();
  loop.modalEnded();
  bool marker = false;
  loop.postAfter(0.05, [&] { marker = true; });
  ASSERT_TRUE(spinUntil([&] { return marker; }));
  EXPECT_EQ(ticks, 0);
}

TEST(GlibMainLoop, DestroyingTheLoopDropsWhatIsStillScheduled) {
  int ran = 0;
  {
    GlibMainLoop loop;
    loop.post([&] { ++ran; });
    loop.postAfter(0.01, [&] { ++ran; });
  }
  bool marker = false;
  g_timeout_add(
      50,
      [](gpointer data) -> gboolean {
        *static_cast<bool*>(data) = true;
        return G_SOURCE_REMOVE;
      },
      &marker);
  ASSERT_TRUE(spinUntil([&] { return marker; }));
  EXPECT_EQ(ran, 0);
}

}  // namespace
}  // namespace kestrova::gtk
