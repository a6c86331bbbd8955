#include "app/dashboard/dashboard_window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_platform.h"

namespace kestrova {
namespace {

using testing::FakeWebWindow;
using testing::ScriptedAnswer;
using testing::TestPlatform;

ScriptedAnswer answerWith(int response, std::optional<std::string> text = std::nullopt) {
  return ScriptedAnswer{response, std::move(text), 0};
}

const std::string kDefaultDashboard = "http://127.0.0.1:8787/";

class DashboardWindowTest : public ::testing::Test {
 protected:
  FakeWebWindow& window() {
    EXPECT_NE(platform.ui.webWindow, nullptr);
    return *platform.ui.webWindow;
  }

  // Plays the web view for `seconds` of virtual time: every load that starts fails while the
  // engine is down (before `upAt`) and finishes once it is up.
  void serveLoads(double seconds, double upAt) {
    std::size_t answered = 0;
    const double end = platform.loop.now() + seconds;
    while (platform.loop.now() < end) {
      while (answered < window().loads.size()) {
        ++answered;
        if (platform.loop.now() < upAt) {
          window().delegate.didFailProvisionalLoad();
        } else {
          window().delegate.didFinishLoad();
        }
      }
      platform.loop.advance(0.25);
    }
  }

  TestPlatform platform;
  std::shared_ptr<DashboardWindow> dashboard = DashboardWindow::create();
};

// One window for the app's life: the first show creates and loads it, later ones (also after
// it was closed) only bring it forward.
TEST_F(DashboardWindowTest, FirstShowCreatesAndLoadsLaterShowsOnlyBringItForward) {
  EXPECT_FALSE(dashboard->created());
  dashboard->show();
  ASSERT_EQ(platform.ui.webWindowSpecs.size(), 1u);
  const WebWindowSpec& shape = platform.ui.webWindowSpecs[0];
  EXPECT_EQ(shape.width, 1040);
  EXPECT_EQ(shape.height, 760);
  EXPECT_EQ(shape.title, "Kestrova");
  EXPECT_EQ(shape.autosaveName, "KestrovaDashboard");
  EXPECT_EQ(window().loads, std::vector<std::string>{kDefaultDashboard});
  EXPECT_EQ(window().broughtToFront, 1);
  EXPECT_EQ(platform.ui.activations, 1);

  window().delegate.didFinishLoad();
  window().visible = false;  // closed: ordered out, kept
  dashboard->show();
  dashboard->show();
  EXPECT_EQ(platform.ui.webWindowSpecs.size(), 1u);
  EXPECT_EQ(window().loads.size(), 1u);
  EXPECT_EQ(window().broughtToFront, 3);
  EXPECT_TRUE(window().visible);
  EXPECT_EQ(platform.ui.activations, 3);
}

TEST_F(DashboardWindowTest, EngineDownForGoodGetsExactlyTwentyOneAttempts) {
  dashboard->show();
  serveLoads(60, /*upAt=*/1e9);
  EXPECT_EQ(window().loads.size(), 21u);
  EXPECT_EQ(dashboard->retries(), 20);
  EXPECT_EQ(platform.loop.pendingTimers(), 0u);
  // Reopening after giving up does not start another load either.
  dashboard->show();
  EXPECT_EQ(window().loads.size(), 21u);
}

TEST_F(DashboardWindowTest, EngineUpAfterFiveSecondsShowsThePageAndClearsTheCounter) {
  dashboard->show();
  serveLoads(30, /*upAt=*/5.0);
  // Loads at 0, 1, 2, 3 and 4 s fail; the one at 5 s finishes.
  EXPECT_EQ(window().loads.size(), 6u);
  EXPECT_EQ(dashboard->retries(), 0);
  EXPECT_EQ(platform.loop.pendingTimers(), 0u);
}

TEST_F(DashboardWindowTest, RetryWaitsOneSecondAndReloadsTheRootAtTheCurrentPort) {
  dashboard->show();
  window().delegate.didFailProvisionalLoad();
  platform.sandbox.write("Library/Application Support/Kestrova/config.json", R"({"port": 9000})");
  platform.loop.advance(0.9);
  EXPECT_EQ(window().loads.size(), 1u);
  platform.loop.advance(0.1);
  EXPECT_EQ(window().loads,
            (std::vector<std::string>{kDefaultDashboard, "http://127.0.0.1:9000/"}));
  EXPECT_EQ(dashboard->retries(), 1);
}

TEST_F(DashboardWindowTest, PendingReloadIsDroppedWithTheWindowObject) {
  dashboard->show();
  window().delegate.didFailProvisionalLoad();
  const std::weak_ptr<DashboardWindow> watch = dashboard;
  dashboard.reset();
  EXPECT_TRUE(watch.expired());  // the pending reload does not keep the object alive
  platform.loop.advance(2.0);    // and, when due, finds it gone
}

TEST_F(DashboardWindowTest, PromptFieldIsMaskedWhenItAsksForAPassword) {
  struct Case {
    std::string prompt;
    bool masked;
  };
  const std::vector<Case> cases = {
      {"Enter your password", true}, {"PASSWORD", true},   {"New PassWord for the stream", true},
      {"Channel name", false},       {"pass word", false}, {"", false},
  };
  dashboard->show();
  for (const Case& c : cases) {
    (void)window().delegate.runPromptPanel(c.prompt, "preset");
    EXPECT_EQ(platform.ui.alerts.back(),
              (AlertSpec{c.prompt, "", {"OK", "Cancel"}, AlertField{"preset", c.masked, 260, 24}}))
        << c.prompt;
  }
}

// The page's alert, confirm and prompt become modal alerts, and their answers go back to it.
TEST_F(DashboardWindowTest, PagePanelsAnswerFromTheModalAlerts) {
  dashboard->show();
  window().delegate.runAlertPanel("Saved.");
  EXPECT_EQ(platform.ui.alerts.back(), (AlertSpec{"Saved.", "", {"OK"}, std::nullopt}));

  platform.ui.answers = {answerWith(kAlertFirstButton), answerWith(kAlertFirstButton + 1)};
  EXPECT_TRUE(window().delegate.runConfirmPanel("Delete it?"));
  EXPECT_EQ(platform.ui.alerts.back(),
            (AlertSpec{"Delete it?", "", {"OK", "Cancel"}, std::nullopt}));
  EXPECT_FALSE(window().delegate.runConfirmPanel("Delete it?"));

  platform.ui.answers = {answerWith(kAlertFirstButton, "typed"),
                         answerWith(kAlertFirstButton, std::nullopt),
                         answerWith(kAlertFirstButton + 1, "typed")};
  EXPECT_EQ(window().delegate.runPromptPanel("Name?", "default"), "typed");
  EXPECT_EQ(window().delegate.runPromptPanel("Name?", "default"), "default");
  EXPECT_EQ(window().delegate.runPromptPanel("Name?", "default"), std::nullopt);
  (void)window().delegate.runPromptPanel("Name?", "");
  EXPECT_EQ(platform.ui.alerts.back().field->text, "");
  EXPECT_EQ(platform.ui.alerts.size(), 7u);
}

}  // namespace
}  // namespace kestrova
