// The main loop on the main run loop: timers wait while a modal panel runs the loop in its own
// mode and fire after; posts run in every mode; cancel and shut down. Mac only.
#include "frontends/cocoa/cocoa_main_loop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/mac/main_queue.h"

namespace kestrova::testing {
namespace {

TEST(CocoaMainLoop, TimersWaitWhileAModalPanelRunsAndFireAfterCancelAndShutDownStopThem) {
  cocoa::CocoaMainLoop loop;
  std::vector<std::string> seen;
  loop.postAfter(0, [&] { seen.push_back("delayed"); });
  auto ticking = loop.repeat(0, [&] { seen.push_back("tick"); });
  loop.repeat(0, [&] { seen.push_back("cancelled tick"); })->cancel();
  passIn(NSModalPanelRunLoopMode);
  EXPECT_TRUE(seen.empty()) << "a timer fired while a modal panel ran";
  loop.post([&] { seen.push_back("posted"); });
  drainMainQueue();
  passIn(NSDefaultRunLoopMode);
  EXPECT_EQ(seen, (std::vector<std::string>{"posted", "delayed", "tick"}));

  loop.shutDown();
  loop.post([&] { seen.push_back("posted after shutdown"); });
  drainMainQueue();
  passIn(NSDefaultRunLoopMode);
  EXPECT_EQ(seen.size(), 3u) << seen.back();
}

}  // namespace
}  // namespace kestrova::testing
