// The checks every launch makes: placement, then the agent's file, load state and owner.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

const std::string kWelcome = "Welcome to Kestrova";
const std::string kUpdated = "Kestrova updated";

class StartupChecksTest : public ::testing::Test, protected ShellHarness {
 protected:
  [[nodiscard]] std::vector<std::string> alertMessages() const {
    std::vector<std::string> messages;
    for (const AlertSpec& shown : platform.ui.alerts) {
      messages.push_back(shown.message);
    }
    return messages;
  }
};

TEST_F(StartupChecksTest, OutsideApplicationsExplainsAndQuitsBeforeAnythingElse) {
  platform.host.bundle = "/Users/example/Downloads/Kestrova.app";
  launch();
  ASSERT_EQ(platform.ui.alerts.size(), 1u);
  EXPECT_EQ(platform.ui.alerts[0],
            (AlertSpec{"Move Kestrova to Applications",
                       "Kestrova is running from:\n/Users/example/Downloads/Kestrova.app\n\nIt "
                       "must live in the Applications folder to broadcast reliably. Quit, drag "
                       "Kestrova to Applications, and open it from there.",
                       {"Quit"},
                       std::nullopt}));
  EXPECT_TRUE(platform.ui.terminated);
  // The offline item was already drawn; nothing after the alert ran.
  EXPECT_EQ(item().menuSets, 1);
  EXPECT_FALSE(agentFileExists());
  EXPECT_TRUE(runner.calls().empty());
  platform.loop.advance(30);
  settle();
  EXPECT_EQ(statusRequests(), 0u);
}

TEST_F(StartupChecksTest, NoAgentFileRunsTheFirstRunBeforeThePollTimerStarts) {
  // The welcome stays open for 30 s and is answered "Later".
  platform.ui.answers.push_back(answerWith(kAlertFirstButton + 1, std::nullopt, 30));
  launch();
  EXPECT_EQ(alertMessages(), std::vector<std::string>{kWelcome});
  EXPECT_FALSE(agentFileExists());
  ASSERT_TRUE(waitForRequests(1));
  // Had the timer started before the welcome, its tick held over the alert would fire now.
  platform.loop.runUntilIdle();
  EXPECT_EQ(statusRequests(), 1u);
  EXPECT_TRUE(pollsAfter(kPollInterval));
}

// Unloaded (after a power cut, say): installed again without a word, even when that fails.
TEST_F(StartupChecksTest, FilePresentButNotLoadedIsInstalledSilentlyWithALogLine) {
  for (const bool loads : {true, false}) {
    SCOPED_TRACE(loads ? "load succeeds" : "load fails");
    ShellHarness h;
    h.writeAgentFile("/Applications/Old Kestrova.app/engine");
    h.runner.answer(kPrint, {kUnknownService, kUnknownService, loads ? kOk : kUnknownService});
    h.runner.answer(kBootout, kOk);
    h.runner.answer(h.bootstrapLine(),
                    loads ? kOk : ShellResult{5, "Bootstrap failed: 5: Input/output error"});
    h.launch();
    const auto logs = h.platform.host.logLines();
    EXPECT_NE(std::find(logs.begin(), logs.end(),
                        "Kestrova: startup agent present but not loaded \u2014 bootstrapping"),
              logs.end());
    EXPECT_EQ(h.runner.count(h.bootstrapLine()), loads ? 1u : 3u);
    EXPECT_NE(h.agentFile().find(h.enginePath()), std::string::npos);  // rewritten for this copy
    EXPECT_TRUE(h.platform.ui.alerts.empty());
    EXPECT_TRUE(h.waitForRequests(1));
  }
}

TEST_F(StartupChecksTest, AStaleAgentIsRepointedAndTheUserToldOnce) {
  writeAgentFile(
      "/Volumes/Kestrova/Kestrova.app/Contents/Resources/engine/runtime/kestrova-engine");
  serviceLoaded(true);
  runner.answer(kBootout, kOk);
  runner.answer(bootstrapLine(), kOk);
  launch();
  ASSERT_EQ(platform.ui.alerts.size(), 1u);
  EXPECT_EQ(platform.ui.alerts[0],
            (AlertSpec{kUpdated,
                       "This copy of Kestrova is now the one that runs in the background, and "
                       "your channel will keep broadcasting as before.",
                       {"OK"},
                       std::nullopt}));
  EXPECT_NE(agentFile().find(enginePath()), std::string::npos);
  EXPECT_TRUE(waitForRequests(1));

  // The next launch finds nothing to repair.
  auto next = AppDelegate::create();
  next->applicationDidFinishLaunching();
  EXPECT_EQ(platform.ui.alerts.size(), 1u);
}

TEST_F(StartupChecksTest, AStaleAgentThatCannotBeReloadedIsToldAsAFailure) {
  writeAgentFile(
      "/Volumes/Kestrova/Kestrova.app/Contents/Resources/engine/runtime/kestrova-engine");
  runner.answer(kPrint, {kOk, kUnknownService});  // loaded at first, gone once unloaded
  runner.answer(kBootout, kOk);
  runner.answer(bootstrapLine(), ShellResult{5, "Bootstrap failed: 5: Input/output error"});
  launch();
  EXPECT_EQ(platform.ui.alerts,
            (std::vector<AlertSpec>{{"The engine could not be started",
                                     "The background service would not start. launchctl said: "
                                     "Bootstrap failed: 5: Input/output error",
                                     {"OK"},
                                     std::nullopt}}));
}

TEST_F(StartupChecksTest, ALoadedAgentForThisCopyNeedsNothing) {
  launchSettled();
  EXPECT_TRUE(platform.ui.alerts.empty());
  EXPECT_EQ(runner.calls(), std::vector<std::string>{kPrint});
  EXPECT_TRUE(waitForRequests(1));
}

}  // namespace
}  // namespace kestrova
