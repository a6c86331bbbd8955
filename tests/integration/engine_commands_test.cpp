// Start, stop, restart and the login switch, against scripted launchctl answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/shell/app_delegate.h"
#include "tests/integration/shell_harness.h"

namespace kestrova {
namespace {

using testing::answerWith;
using testing::kBootout;
using testing::kKickstart;
using testing::kOk;
using testing::kPrint;
using testing::kUnknownService;
using testing::ShellHarness;

const std::string kStartFailed =
    "The background service would not start. launchctl said: Bootstrap failed: 5: Input/output "
    "error";

class EngineCommandsTest : public ::testing::Test, protected ShellHarness {
 protected:
  // The follow-up poll comes exactly `delay` seconds after the command returned, and is the
  // only timer it left.
  void expectPollAfter(double delay) {
    EXPECT_TRUE(pollsAfter(delay));
    EXPECT_EQ(platform.loop.pendingTimers(), 0u);
  }
  void expectNoPoll() {
    EXPECT_EQ(platform.loop.pendingTimers(), 0u);
    platform.loop.advance(10);
    settle();
    EXPECT_EQ(statusRequests(), 0u);
  }
  void failEveryLoad() {
    runner.answer(kPrint, kUnknownService);
    runner.answer(kBootout, kOk);
    runner.answer(bootstrapLine(), {5, "Bootstrap failed: 5: Input/output error\n"});
  }
  void loadSucceeds() {
    runner.answer(kBootout, kOk);
    runner.answer(bootstrapLine(), kOk);
  }
};

TEST_F(EngineCommandsTest, StartWhileLoadedRestartsWithoutRewritingTheFile) {
  writeAgentFile("/somewhere/else/kestrova-engine");  // left exactly as it is
  const std::string before = agentFile();
  serviceLoaded(true);
  runner.answer(kKickstart, kOk);
  delegate->perform("startEngine");
  EXPECT_EQ(runner.calls(), (std::vector<std::string>{kPrint, kKickstart}));
  EXPECT_EQ(agentFile(), before);
  EXPECT_TRUE(platform.ui.alerts.empty());
  expectPollAfter(2.0);
}

TEST_F(EngineCommandsTest, StartAfterAStopInstallsAgain) {
  writeAgentFile(enginePath());
  // Not loaded when asked, gone after the unload, known once loaded.
  runner.answer(kPrint, {kUnknownService, kUnknownService, kOk});
  loadSucceeds();
  delegate->perform("startEngine");
  EXPECT_EQ(runner.count(bootstrapLine()), 1u);
  EXPECT_EQ(runner.count(kKickstart), 0u);
  EXPECT_NE(agentFile().find("<key>Label</key>"), std::string::npos);
  EXPECT_TRUE(platform.ui.alerts.empty());
  expectPollAfter(2.0);
}

TEST_F(EngineCommandsTest, StartWithoutAFileInstallsWithoutAskingLaunchdFirst) {
  runner.answer(kPrint, {kUnknownService, kOk});
  loadSucceeds();
  delegate->perform("startEngine");
  EXPECT_TRUE(agentFileExists());
  EXPECT_EQ(runner.count(bootstrapLine()), 1u);
  expectPollAfter(2.0);
}

TEST_F(EngineCommandsTest, FailedStartAlertsThenPollsTwoSecondsAfterDismissal) {
  failEveryLoad();
  platform.ui.answers.push_back(answerWith(kAlertFirstButton, std::nullopt, 30));
  delegate->perform("startEngine");
  ASSERT_EQ(platform.ui.alerts.size(), 1u);
  EXPECT_EQ(platform.ui.alerts[0],
            (AlertSpec{"Could not start Kestrova", kStartFailed, {"OK"}, std::nullopt}));
  EXPECT_EQ(runner.count(bootstrapLine()), 3u);
  EXPECT_EQ(platform.loop.now(), 30);
  EXPECT_EQ(statusRequests(), 0u);
  expectPollAfter(2.0);
}

// Stop asks first. Cancelled, nothing runs and no poll is scheduled; confirmed, the service is
// unloaded (its file kept) and polled a second later, also when launchd keeps it, which is said.
TEST_F(EngineCommandsTest, StopAsksThenUnloadsKeepingTheFileAndPollsAfterOneSecond) {
  writeAgentFile(enginePath());
  platform.ui.answers.push_back(answerWith(kAlertFirstButton + 1));
  delegate->perform("stopEngine");
  ASSERT_EQ(platform.ui.alerts.size(), 1u);
  EXPECT_EQ(platform.ui.alerts[0],
            (AlertSpec{"Stop broadcasting?",
                       "Your channel goes off air until you choose Start Kestrova. Playout "
                       "resumes from exactly where it stopped.",
                       {"Stop", "Cancel"},
                       std::nullopt}));
  EXPECT_TRUE(runner.calls().empty());
  expectNoPoll();

  // Gone at the first look; from then on launchd keeps showing it.
  runner.answer(kBootout, kOk);
  runner.answer(kPrint, {kUnknownService, kOk});
  delegate->perform("stopEngine");
  EXPECT_EQ(runner.calls(), (std::vector<std::string>{kBootout, kPrint}));
  EXPECT_TRUE(agentFileExists());
  EXPECT_EQ(platform.ui.alerts.size(), 2u);  // the confirmation only
  expectPollAfter(1.0);

  delegate->perform("stopEngine");
  ASSERT_EQ(platform.ui.alerts.size(), 4u);
  EXPECT_EQ(platform.ui.alerts[3],
            (AlertSpec{"Could not stop the engine",
                       "macOS did not release the background service. Try again, or restart the "
                       "Mac.",
                       {"OK"},
                       std::nullopt}));
  expectPollAfter(1.0);
}

TEST_F(EngineCommandsTest, RestartKickstartsAndPollsAfterTwoSeconds) {
  runner.answer(kKickstart, {1, "Could not find service"});  // not checked, not shown
  delegate->perform("restartEngine");
  EXPECT_EQ(runner.calls(), std::vector<std::string>{kKickstart});
  EXPECT_TRUE(platform.ui.alerts.empty());
  expectPollAfter(2.0);
}

class LoginSwitchTest : public EngineCommandsTest {
 protected:
  [[nodiscard]] bool checked() const {
    for (const MenuItem& item : item().menu.items) {
      if (item.action == "toggleAgent") {
        return item.checked;
      }
    }
    ADD_FAILURE() << "no login item";
    return false;
  }
};

// Each way the switch acts at once: the file, the menu's checkmark, and no extra poll.
TEST_F(LoginSwitchTest, OffUninstallsOnInstallsAndEachRebuildsTheMenuAtOnce) {
  launchSettled();
  ASSERT_TRUE(waitForReplies(1));
  EXPECT_TRUE(checked());
  runner.clearCalls();
  runner.answer(kBootout, kOk);
  const int menus = item().menuSets;
  const std::size_t timers = platform.loop.pendingTimers();
  delegate->perform("toggleAgent");
  EXPECT_EQ(runner.calls(), std::vector<std::string>{kBootout});
  EXPECT_FALSE(agentFileExists());
  EXPECT_EQ(item().menuSets, menus + 1);
  EXPECT_FALSE(checked());
  EXPECT_EQ(platform.loop.pendingTimers(), timers);

  runner.answer(kPrint, {kUnknownService, kOk});
  runner.answer(bootstrapLine(), kOk);
  delegate->perform("toggleAgent");
  EXPECT_NE(agentFile().find(enginePath()), std::string::npos);
  EXPECT_EQ(item().menuSets, menus + 2);
  EXPECT_TRUE(checked());
  EXPECT_TRUE(platform.ui.alerts.empty());
  EXPECT_EQ(platform.loop.pendingTimers(), timers);
}

TEST_F(LoginSwitchTest, FailedInstallIsReportedAndTheMenuStillRebuilt) {
  launchSettled();
  ASSERT_TRUE(waitForReplies(1));
  runner.answer(kBootout, kOk);
  delegate->perform("toggleAgent");  // off
  failEveryLoad();
  const int menus = item().menuSets;
  delegate->perform("toggleAgent");  // on, but launchd will not have it
  ASSERT_EQ(platform.ui.alerts.size(), 1u);
  EXPECT_EQ(platform.ui.alerts[0],
            (AlertSpec{"Could not enable automatic start", kStartFailed, {"OK"}, std::nullopt}));
  EXPECT_EQ(item().menuSets, menus + 1);
  EXPECT_TRUE(checked());  // the file was written, so the next login loads it
}

}  // namespace
}  // namespace kestrova
