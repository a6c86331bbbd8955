// The main loop on the main run loop: timers wait while a modal panel runs the loop in its own
// mode and fire after; posts run in every mode; cancel and shut down. Mac only.
#include "frontends/cocoa/cocoa_main_loop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "tests/mac/main_queue.h"

namespace kestrova::testing {
namespace {

TEST(CocoaMainLoop, TimersWaitWhileAModalPanelRunsAndFireAfterCancelAndShutDownStopThem) {
  cocoa::CocoaMainLoop loop;
  std::vector<std::string> seen;
  const auto count = [&seen](const std::string& what) {
    return std::count(seen.begin(), seen.end(), what);
  };
  loop.postAfter(0, [&] { seen.push_back("delayed"); });
  auto ticking = loop.repeat(0, [&] { seen.push_back("tick"); });
  loop.repeat(0, [&] { seen.push_back("cancelled tick"); })->cancel();
  passIn(NSModalPanelRunLoopMode);
  EXPECT_TRUE(seen.empty()) << "a due timer fired while a modal panel ran";
  loop.post([&] { seen.push_back("posted"); });
  while (count("tick") < 2) passIn(NSDefaultRunLoopMode);
  // The delayed task once, the cancelled timer never, the repeating one on.
  EXPECT_EQ(std::tuple(count("delayed"), count("posted"), count("cancelled tick")),
            std::tuple(1, 1, 0));

  loop.shutDown();
  const std::size_t before = seen.size();
  loop.post([&] { seen.push_back("posted after shutdown"); });
  drainMainQueue();
  EXPECT_EQ(seen.size(), before) << seen.back();
}

}  // namespace
}  // namespace kestrova::testing
