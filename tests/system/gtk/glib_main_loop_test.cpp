// The GLib main loop: posts, delayed tasks, timers, and the hold during modals. Posts from other
// threads are the HTTP replies of the desktop program's own test.
#include "frontends/gtk/glib_main_loop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/system/gtk/gtk_testing.h"

namespace kestrova::gtk {
namespace {

using testing::passMilliseconds;
using testing::spinUntil;

TEST(GlibMainLoop, DelayedTasksRunInDueOrderAndTimersTickUntilCancelledOrDestroyed) {
  GlibMainLoop loop;
  std::vector<std::string> order;
  loop.postAfter(0.15, [&] { order.emplace_back("late"); });
  loop.postAfter(0.05, [&] { order.emplace_back("early"); });
  // Ticks of a timer cancelled, one destroyed, one that destroys itself in its first tick.
  int ticks[3] = {0, 0, 0};
  auto cancelled = loop.repeat(0.01, [&] { ++ticks[0]; });
  auto destroyed = loop.repeat(0.01, [&] { ++ticks[1]; });
  std::unique_ptr<Timer> selfCancelled =
      loop.repeat(0.01, [&] { ++ticks[2], selfCancelled.reset(); });
  ASSERT_TRUE(spinUntil([&] { return ticks[0] >= 3 && ticks[1] >= 3; }));
  cancelled->cancel();
  destroyed.reset();
  const std::vector<int> before(ticks, ticks + 2);
  passMilliseconds(200);
  EXPECT_EQ(order, (std::vector<std::string>{"early", "late"}));
  EXPECT_EQ(std::vector<int>(ticks, ticks + 2), before);
  EXPECT_EQ(ticks[2], 1);
}

// The Mac holds timers in the default run-loop mode while a modal alert runs; the core relies on
// it: no poll while an alert is open, and a held tick runs once after it closes, however many it
// missed. Modals here are the flag raised while the context keeps being iterated, as under
// gtk_dialog_run. Released work runs in one batch of posts, so posts placed around the release
// count exactly what it ran, whatever regular tick comes due meanwhile.
TEST(GlibMainLoop, WorkDueUnderModalsIsHeldUntilTheOutermostClosesThenRunsOnceFromTheLoop) {
  GlibMainLoop loop;
  int ticks = 0, cancelledTicks = 0;
  bool delayedRan = false, postRan = false;
  auto timer = loop.repeat(0.01, [&] { ++ticks; });
  auto cancelled = loop.repeat(0.01, [&] { ++cancelledTicks; });
  loop.postAfter(0.01, [&] { delayedRan = true; });
  loop.modalBegan();
  loop.modalBegan();
  loop.post([&] { postRan = true; });
  EXPECT_FALSE(postRan) << "a post never runs inside its caller";
  passMilliseconds(60);
  EXPECT_EQ(ticks, 0) << "a tick came due under the modal and fired";
  EXPECT_FALSE(delayedRan);
  EXPECT_TRUE(postRan) << "posts carry replies from other threads and are not held";
  cancelled->cancel();
  for (const int released : {0, 1}) {  // closing the inner modal, then the outer
    int before = -1, after = -1;
    loop.post([&] { before = ticks; });
    loop.modalEnded();
    EXPECT_EQ(ticks, 0) << "held work runs from the loop, not inside modalEnded";
    loop.post([&] { after = ticks; });
    ASSERT_TRUE(spinUntil([&] { return after >= 0; }));
    EXPECT_EQ(after - before, released);
    EXPECT_EQ(delayedRan, released == 1);
  }
  EXPECT_EQ(cancelledTicks, 0);
}

}  // namespace
}  // namespace kestrova::gtk
