#include "app/support/logs_and_help.h"

#include <gtest/gtest.h>

#include "app/shell/app_delegate.h"
#include "tests/support/scripted_runner.h"
#include "tests/support/test_platform.h"

namespace kestrova {
namespace {

using testing::ScriptedRunner;
using testing::TestPlatform;

TEST(LogsAndHelp, RevealTheLogAndOpenTheWebsiteWithoutTouchingTheEngine) {
  ScriptedRunner runner;  // any tool run would be recorded here
  TestPlatform test{Tools{}, &runner};
  auto app = AppDelegate::create();
  // Before the engine has ever run there is no log folder: still no message, no failure.
  app->showLogs();
  app->help();
  test.loop.runUntilIdle();

  EXPECT_EQ(test.ui.revealedFiles, std::vector<std::string>{test.sandbox.path(
                                       "Library/Application Support/Kestrova/logs/stream.log")});
  EXPECT_EQ(test.ui.openedURLs, std::vector<std::string>{"https://kestrova.talmiro.com/"});
  EXPECT_TRUE(test.ui.alerts.empty());
  EXPECT_TRUE(runner.calls().empty());
}

}  // namespace
}  // namespace kestrova
