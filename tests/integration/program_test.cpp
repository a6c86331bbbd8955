// The portable program entry, run against the scripted Ui.
#include "app/shell/program.h"

#include <gtest/gtest.h>

#include "app/shell/app_menu.h"
#include "tests/integration/shell_harness.h"

namespace kestrova {
namespace {

TEST(Program, RegularApplicationWithTheMainMenuThenTheEventLoop) {
  testing::ShellHarness harness;
  harness.writeAgentFile(harness.enginePath());
  harness.serviceLoaded(true);
  EXPECT_EQ(runApplication(), 0);
  EXPECT_TRUE(harness.platform.ui.regularPolicy);
  ASSERT_TRUE(harness.platform.ui.mainMenu.has_value());
  EXPECT_EQ(*harness.platform.ui.mainMenu, buildAppMenu());
  // The scripted event loop launched the controller: the status item exists and polled.
  ASSERT_NE(harness.platform.ui.statusItem, nullptr);
  EXPECT_TRUE(harness.waitForRequests(1));
}

}  // namespace
}  // namespace kestrova
