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

TEST_F(DashboardWindowTest, FirstShowCreatesTheWindowLoadsTheRootAndActivates) {
  EXPECT_FALSE(dashboard->created());
  dashboard->show();
  ASSERT_EQ(platform.ui.webWindowSpecs.size(), 1u);
  const WebWindowSpec& spec = platform.ui.webWindowSpecs[0];
  EXPECT_EQ(spec.width, 1040);
  EXPECT_EQ(spec.height, 760);
  EXPECT_EQ(spec.title, "Kestrova");
  EXPECT_EQ(spec.autosaveName, "KestrovaDashboard");
  EXPECT_EQ(window().loads, std::vector<std::string>{kDefaultDashboard});
  EXPECT_EQ(window().broughtToFront, 1);
  EXPECT_EQ(platform.ui.activations, 1);
}

TEST_F(DashboardWindowTest, LaterShowsOnlyBringTheSameWindowForward) {
  dashboard->show();
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

TEST_F(DashboardWindowTest, PageAlertIsAModalWithOneOkButton) {
  dashboard->show();
  window().delegate.runAlertPanel("Saved.");
  ASSERT_EQ(platform.ui.alerts.size(), 1u);
  EXPECT_EQ(platform.ui.alerts[0], (AlertSpec{"Saved.", "", {"OK"}, std::nullopt}));
}

TEST_F(DashboardWindowTest, ConfirmAnswersTrueOnlyForOk) {
  dashboard->show();
  platform.ui.answers = {answerWith(kAlertFirstButton), answerWith(kAlertFirstButton + 1)};
  EXPECT_TRUE(window().delegate.runConfirmPanel("Delete it?"));
  EXPECT_FALSE(window().delegate.runConfirmPanel("Delete it?"));
  ASSERT_EQ(platform.ui.alerts.size(), 2u);
  EXPECT_EQ(platform.ui.alerts[0], (AlertSpec{"Delete it?", "", {"OK", "Cancel"}, std::nullopt}));
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
    ASSERT_TRUE(platform.ui.alerts.back().field.has_value()) << c.prompt;
    const AlertField& field = *platform.ui.alerts.back().field;
    EXPECT_EQ(field.masked, c.masked) << c.prompt;
    EXPECT_EQ(field.text, "preset");
    EXPECT_EQ(field.width, 260);
    EXPECT_EQ(field.height, 24);
    EXPECT_EQ(platform.ui.alerts.back().message, c.prompt);
    EXPECT_EQ(platform.ui.alerts.back().informative, "");
    EXPECT_EQ(platform.ui.alerts.back().buttons, (std::vector<std::string>{"OK", "Cancel"}));
  }
}

TEST_F(DashboardWindowTest, PromptAnswersTheTextOnOkAndNullOnCancel) {
  dashboard->show();
  platform.ui.answers = {answerWith(kAlertFirstButton, "typed"),
                         answerWith(kAlertFirstButton, std::nullopt),
                         answerWith(kAlertFirstButton + 1, "typed")};
  EXPECT_EQ(window().delegate.runPromptPanel("Name?", "default"), "typed");
  EXPECT_EQ(window().delegate.runPromptPanel("Name?", "default"), "default");
  EXPECT_EQ(window().delegate.runPromptPanel("Name?", "default"), std::nullopt);
  (void)window().delegate.runPromptPanel("Name?", "");
  EXPECT_EQ(platform.ui.alerts.back().field->text, "");
}

}  // namespace
}  // namespace kestrova
