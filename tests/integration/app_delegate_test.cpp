#include "app/shell/app_delegate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "app/dashboard/dashboard_window.h"
#include "tests/integration/shell_harness.h"

namespace kestrova {
namespace {

using testing::answerWith;
using testing::ShellHarness;

class AppDelegateTest : public ::testing::Test, protected ShellHarness {};

std::vector<std::string> titles(const Menu& menu) {
  std::vector<std::string> result;
  for (const MenuItem& item : menu.items) {
    result.push_back(item.separator ? "---" : item.title);
  }
  return result;
}

TEST_F(AppDelegateTest, OfflineIconAndMenuRightAfterStartUpWithThePollAlreadySent) {
  launchSettled();
  EXPECT_EQ(item().symbol, "dot.radiowaves.left.and.right");
  EXPECT_EQ(item().accessibility, "Offline");
  ASSERT_GE(item().menu.items.size(), 4u);
  EXPECT_EQ(item().menu.items[0].title, "Kestrova \u2014 Offline");
  EXPECT_EQ(item().menu.items[3].title, "Start Kestrova");
  EXPECT_EQ(item().menuSets, 1);
  ASSERT_TRUE(waitForReplies(1));
  EXPECT_EQ(statusRequests(), 1u);
  EXPECT_EQ(delegate->status(), EngineStatus::onAir);
  EXPECT_EQ(delegate->lastNow(), "Morning Show");
  EXPECT_EQ(item().symbol, "antenna.radiowaves.left.and.right");
  EXPECT_EQ(titles(item().menu)[1], "  \u25B6 Morning Show");
}

TEST_F(AppDelegateTest, FallbackTitlesWhenTheFrontEndHasNoSymbols) {
  platform.ui.statusSymbolsAvailable = false;
  launchSettled();
  EXPECT_EQ(item().title, "\u25CB Kestrova");
  EXPECT_EQ(item().symbol, "");
  ASSERT_TRUE(waitForReplies(1));
  EXPECT_EQ(item().title, "\u25CF ON AIR");
}

TEST_F(AppDelegateTest, PollsOnceAtStartUpThenEveryFiveSeconds) {
  launchSettled();
  ASSERT_TRUE(waitForReplies(1));
  for (std::size_t tick = 1; tick <= 4; ++tick) {
    ASSERT_TRUE(pollsAfter(kPollInterval)) << tick;
    ASSERT_TRUE(waitForReplies(static_cast<int>(tick) + 1)) << tick;
    EXPECT_EQ(statusRequests(), tick + 1);
  }
}

TEST_F(AppDelegateTest, AnAlertOpenForAMinuteHoldsThePollTimer) {
  launchSettled();
  ASSERT_TRUE(waitForReplies(1));
  platform.ui.answers.push_back(answerWith(kAlertFirstButton + 1, std::nullopt, 60));
  delegate->quit();  // answered "Cancel" after a minute
  EXPECT_EQ(platform.loop.now(), 60);
  EXPECT_FALSE(platform.ui.terminated);
  // Nothing fired during the minute; the tick held over the alert fires once as soon as it
  // closes (not once per missed period), then the cadence resumes from there.
  ASSERT_TRUE(waitForReplies(2));
  settle();
  EXPECT_EQ(statusRequests(), 2u);
  EXPECT_TRUE(pollsAfter(kPollInterval));
}

// Every reply is applied in full, even an unchanged one; an offline one clears the old text.
TEST_F(AppDelegateTest, EveryReplyRebuildsTheMenuAndAnOfflineOneEmptiesTheNowPlayingText) {
  launchSettled();
  ASSERT_TRUE(waitForReplies(1));
  const Menu first = item().menu;
  const int menus = item().menuSets;
  platform.loop.advance(5);
  ASSERT_TRUE(waitForReplies(2));
  EXPECT_EQ(item().menuSets, menus + 1);
  EXPECT_EQ(item().menu, first);
  EXPECT_EQ(item().appearanceSets, 3);
  EXPECT_EQ(delegate->lastNow(), "Morning Show");

  replyWith("<html>starting");  // unreadable: offline
  platform.loop.advance(5);
  ASSERT_TRUE(waitForReplies(3));
  EXPECT_EQ(delegate->status(), EngineStatus::offline);
  EXPECT_EQ(delegate->lastNow(), "");
  EXPECT_EQ(titles(item().menu)[1], "---");
  EXPECT_EQ(item().symbol, "dot.radiowaves.left.and.right");
}

TEST_F(AppDelegateTest, PollsAreNotSerialisedAndTheLastReplyToArriveWins) {
  launchSettled();
  ASSERT_TRUE(waitForReplies(1));
  // The next request answers late with "idle"; the one after it answers at once with "live".
  auto seen = std::make_shared<std::atomic<int>>(0);
  engine.on("GET", "/api/status", [seen](const testing::RecordedRequest&) {
    return ++*seen == 1 ? testing::LoopbackReply{200, "{}", "application/json", 1.0}
                        : testing::LoopbackReply{200, R"({"live_mode": true})"};
  });
  delegate->poll();
  ASSERT_TRUE(waitForRequests(2));
  delegate->poll();
  ASSERT_TRUE(waitForRequests(3));
  // The second request went out while the first was still waiting for its answer.
  EXPECT_NE(delegate->status(), EngineStatus::idle);
  ASSERT_TRUE(waitForReplies(2));
  EXPECT_EQ(delegate->status(), EngineStatus::live);
  ASSERT_TRUE(waitForReplies(3));
  EXPECT_EQ(delegate->status(), EngineStatus::idle);
}

TEST_F(AppDelegateTest, APendingReplyDoesNotKeepTheControllerAlive) {
  delegate->poll();
  const std::weak_ptr<AppDelegate> watch = delegate;
  delegate.reset();
  EXPECT_TRUE(watch.expired());
  ASSERT_TRUE(waitForRequests(1));
  // The reply still arrives and is dropped; give it the time a loopback answer takes.
  platform.loop.runUntil([] { return false; }, std::chrono::milliseconds(200));
  EXPECT_EQ(statusRequests(), 1u);
}

TEST_F(AppDelegateTest, QuitAsksWithTheTextThatMatchesTheAgentFile) {
  struct Case {
    bool agentFile;
    int response;
    std::string informative;
    bool terminates;
  };
  const std::vector<Case> cases = {
      {true, kAlertFirstButton,
       "Your channel will keep broadcasting in the background. To take it off air, use the "
       "dashboard.",
       true},
      {false, kAlertFirstButton, "The engine will stop and your channel will go off air.", true},
      {true, kAlertFirstButton + 1,
       "Your channel will keep broadcasting in the background. To take it off air, use the "
       "dashboard.",
       false},
  };
  for (const Case& c : cases) {
    ShellHarness harness;
    if (c.agentFile) {
      harness.writeAgentFile(harness.enginePath());
    }
    harness.platform.ui.answers.push_back(answerWith(c.response));
    harness.delegate->perform("quit");
    ASSERT_EQ(harness.platform.ui.alerts.size(), 1u);
    EXPECT_EQ(harness.platform.ui.alerts[0],
              (AlertSpec{"Quit Kestrova?", c.informative, {"Quit", "Cancel"}, std::nullopt}));
    EXPECT_EQ(harness.platform.ui.terminated, c.terminates);
    // Quitting never touches the service.
    EXPECT_TRUE(harness.runner.calls().empty());
  }
}

TEST_F(AppDelegateTest, ReopenShowsTheDashboardOnlyWithoutAVisibleWindow) {
  EXPECT_TRUE(delegate->applicationShouldHandleReopen(true));
  EXPECT_TRUE(platform.ui.webWindowSpecs.empty());
  EXPECT_TRUE(delegate->applicationShouldHandleReopen(false));
  ASSERT_EQ(platform.ui.webWindowSpecs.size(), 1u);
  EXPECT_TRUE(delegate->applicationShouldHandleReopen(true));
  EXPECT_EQ(platform.ui.webWindow->broughtToFront, 1);
  EXPECT_FALSE(delegate->applicationShouldTerminateAfterLastWindowClosed());
}

TEST_F(AppDelegateTest, MenuActionsDispatchByName) {
  delegate->perform("openDashboardInBrowser");
  EXPECT_EQ(platform.ui.openedURLs,
            std::vector<std::string>{"http://127.0.0.1:" + std::to_string(engine.port()) + "/"});
  EXPECT_TRUE(platform.ui.webWindowSpecs.empty());
  delegate->perform("openDashboard");
  EXPECT_EQ(platform.ui.webWindowSpecs.size(), 1u);
  delegate->perform("restartEngine");
  EXPECT_EQ(runner.calls(), std::vector<std::string>{testing::kKickstart});
  delegate->perform("noSuchAction");
  delegate->perform("terminate:");  // a responder-chain action is not the controller's
  EXPECT_EQ(runner.calls().size(), 1u);
  EXPECT_TRUE(platform.ui.alerts.empty());
  EXPECT_FALSE(platform.ui.terminated);
}

}  // namespace
}  // namespace kestrova
