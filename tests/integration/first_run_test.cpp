// The first-run setup: welcome, installation, and the dashboard a few seconds later.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/dashboard/dashboard_window.h"
#include "app/shell/app_delegate.h"
#include "tests/integration/shell_harness.h"

namespace kestrova {
namespace {

using testing::answerWith;
using testing::kBootout;
using testing::kOk;
using testing::kPrint;
using testing::kUnknownService;
using testing::ShellHarness;

class FirstRunTest : public ::testing::Test, protected ShellHarness {};

const AlertSpec kWelcome{
    "Welcome to Kestrova",
    "Kestrova will set itself up to run in the background, so your channel keeps broadcasting "
    "after restarts and power cuts.\n\nNext it will open the dashboard, where you choose your "
    "video folder and connect your YouTube channel.",
    {"Set Up", "Later"},
    std::nullopt};

TEST_F(FirstRunTest, LaterLeavesNothingBehind) {
  platform.ui.answers.push_back(answerWith(kAlertFirstButton + 1));
  delegate->firstRun();
  EXPECT_EQ(platform.ui.alerts, std::vector<AlertSpec>{kWelcome});
  EXPECT_FALSE(agentFileExists());
  EXPECT_TRUE(runner.calls().empty());
  EXPECT_EQ(platform.loop.pendingTimers(), 0u);
}

// The agent's own message is shown as it is (the texts themselves are the agent test's).
TEST_F(FirstRunTest, FailedInstallationIsShownAndNeverOpensTheDashboard) {
  runner.answer(kPrint, kUnknownService);
  runner.answer(kBootout, kOk);
  runner.answer(bootstrapLine(), {5, "  \n"});
  delegate->firstRun();
  ASSERT_EQ(platform.ui.alerts.size(), 2u);
  EXPECT_EQ(platform.ui.alerts[1], (AlertSpec{"Setup could not finish",
                                              "The background service would not start.",
                                              {"OK"},
                                              std::nullopt}));
  EXPECT_EQ(platform.loop.pendingTimers(), 0u);
  platform.loop.advance(30);
  settle();
  EXPECT_TRUE(platform.ui.webWindowSpecs.empty());
  EXPECT_EQ(statusRequests(), 0u);
}

TEST_F(FirstRunTest, SuccessOpensTheDashboardThreeSecondsLaterThenPolls) {
  runner.answer(kPrint, {kUnknownService, kOk});
  runner.answer(kBootout, kOk);
  runner.answer(bootstrapLine(), kOk);
  delegate->firstRun();
  EXPECT_EQ(platform.ui.alerts, std::vector<AlertSpec>{kWelcome});
  EXPECT_TRUE(agentFileExists());
  platform.loop.advance(2.9);
  settle();
  EXPECT_TRUE(platform.ui.webWindowSpecs.empty());
  EXPECT_EQ(statusRequests(), 0u);
  platform.loop.advance(0.1);
  ASSERT_EQ(platform.ui.webWindowSpecs.size(), 1u);
  EXPECT_EQ(platform.ui.webWindow->loads,
            std::vector<std::string>{"http://127.0.0.1:" + std::to_string(engine.port()) + "/"});
  EXPECT_TRUE(waitForRequests(1));
}

}  // namespace
}  // namespace kestrova
