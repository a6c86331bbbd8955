// The dashboard window: one per app life, reloads while the engine comes up, and the page's own
// alerts, confirms and prompts as modal alerts.
#include "app/dashboard/dashboard_window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_platform.h"

namespace kestrova::testing {
namespace {

class DashboardWindowTest : public ::testing::Test {
 protected:
  FakeWebWindow& window() { return *platform.ui.webWindow; }

  TestPlatform platform;
  std::shared_ptr<DashboardWindow> dashboard = DashboardWindow::create();
};

// Every load that starts before the engine is up fails; each failure is retried a second later,
// at most twenty times, and a finished load clears the count.
TEST_F(DashboardWindowTest, FailedLoadsAreRetriedTwentyTimesAtMost) {
  for (const auto& [upAt, loads] : {std::pair{5.0, 6u}, {1e9, 21u}}) {
    TestPlatform local;
    auto page = DashboardWindow::create();
    page->show();
    std::size_t answered = 0;
    while (local.loop.now() < 60) {
      for (; answered < local.ui.webWindow->loads.size(); ++answered) {
        auto& delegate = local.ui.webWindow->delegate;
        local.loop.now() < upAt ? delegate.didFailProvisionalLoad() : delegate.didFinishLoad();
      }
      local.loop.advance(0.25);
    }
    EXPECT_EQ(local.ui.webWindow->loads.size(), loads);
    EXPECT_EQ(page->retries(), upAt < 60 ? 0 : 20);
    EXPECT_EQ(local.loop.pendingTimers(), 0u);
  }
}

// The first show creates the window and loads the root, a later one does not; a retry reloads
// the root at the current port. Each load gives a busy engine a minute before it counts as failed.
TEST_F(DashboardWindowTest, ARetryReloadsTheRootAtTheCurrentPort) {
  dashboard->show();
  dashboard->show();  // a later show only brings the window forward
  EXPECT_EQ(std::pair(platform.ui.activations, platform.ui.webWindowSpecs.size()),
            std::pair(2, std::size_t{1}));
  window().delegate.didFailProvisionalLoad();
  platform.sandbox.write(kConfigFile, R"({"port": 9000})");
  platform.loop.advance(1);  // the failed-loads test times the retry
  EXPECT_EQ(window().loads, (std::vector<std::string>{"http://127.0.0.1:8787/ within 60.000000",
                                                      "http://127.0.0.1:9000/ within 60.000000"}));
}

// A prompt that asks for a password (any case) gets a masked field.
TEST_F(DashboardWindowTest, PagePanelsAnswerFromTheModalAlerts) {
  dashboard->show();
  window().delegate.runAlertPanel("Saved.");
  platform.ui.answers = {{kAlertFirstButton, {}, 0}, {kAlertFirstButton + 1, {}, 0}};
  EXPECT_TRUE(window().delegate.runConfirmPanel("Delete it?"));
  EXPECT_FALSE(window().delegate.runConfirmPanel("Delete it?"));
  platform.ui.answers = {{kAlertFirstButton, "typed", 0}, {kAlertFirstButton + 1, "typed", 0}};
  EXPECT_EQ(window().delegate.runPromptPanel("New PassWord", "pre"), "typed");
  EXPECT_EQ(window().delegate.runPromptPanel("pass word", ""), std::nullopt);
  const auto& shown = platform.ui.alerts;
  ASSERT_EQ(shown.size(), 5u);
  EXPECT_EQ(shown[0], (AlertSpec{"Saved.", "", {"OK"}, std::nullopt}));
  EXPECT_EQ(shown[1], (AlertSpec{"Delete it?", "", {"OK", "Cancel"}, std::nullopt}));
  EXPECT_EQ(shown[3],
            (AlertSpec{"New PassWord", "", {"OK", "Cancel"}, AlertField{"pre", true, 260, 24}}));
  EXPECT_EQ(shown[4].field, (AlertField{"", false, 260, 24}));
}

}  // namespace
}  // namespace kestrova::testing
