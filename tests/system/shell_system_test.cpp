// The controller end to end on Linux: first run, the menu's stop and start, and quitting, with
// the launchctl and caffeinate stand-ins and the stand-in engine as real processes in a
// sandboxed home. Virtual time drives the controller's timers; the processes take real time.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "app/shell/app_delegate.h"
#include "tests/support/standin_machine.h"

namespace kestrova::testing {
namespace {

const ScriptedAnswer kFirstButton{kAlertFirstButton, std::nullopt, 0};

class ShellSystemTest : public ::testing::Test, protected StandinMachine {
 protected:
  [[nodiscard]] FakeStatusItem& item() const { return *env.ui.statusItem; }

  // Polls on the controller's own five-second cadence (virtual) until the engine's answer (real)
  // shows the wanted side of offline; bounded by real time.
  bool pollUntil(bool online) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < limit) {
      const int before = item().appearanceSets;
      env.loop.advance(kPollInterval);
      (void)env.loop.runUntil([&] { return item().appearanceSets > before; },
                              std::chrono::seconds(5));
      if ((delegate->status() != EngineStatus::offline) == online) {
        return true;
      }
    }
    return false;
  }

  std::shared_ptr<AppDelegate> delegate = AppDelegate::create();
};

TEST_F(ShellSystemTest, FirstRunThenStopStartFromTheMenuThenQuitAndRelaunch) {
  env.ui.answers.push_back(kFirstButton);  // "Set Up"
  delegate->applicationDidFinishLaunching();
  ASSERT_EQ(env.ui.alerts.size(), 1u);
  EXPECT_EQ(env.ui.alerts[0].message, "Welcome to Kestrova");
  EXPECT_TRUE(env.sandbox.exists("Library/LaunchAgents/com.talmiro.kestrova.engine.plist"));

  // The dashboard opens 3 s after the installation, on the engine's root address.
  env.loop.advance(3.0);
  ASSERT_NE(env.ui.webWindow, nullptr);
  EXPECT_EQ(env.ui.webWindow->loads.front(), "http://127.0.0.1:" + std::to_string(port) + "/");
  ASSERT_TRUE(pollUntil(true));
  EXPECT_EQ(item().menu.items.back().title, "Quit Kestrova");
  EXPECT_TRUE(item().menu.items[0].title.starts_with("Kestrova \u2014 "));
  EXPECT_NE(item().menu.items[0].title, "Kestrova \u2014 Offline");

  // Stopping must finish within the agent's 3-second wait even right after a poll has left an
  // idle connection open to the engine.
  env.ui.answers.push_back(kFirstButton);  // "Stop"
  delegate->perform("stopEngine");
  EXPECT_EQ(env.ui.alerts.size(), 2u);  // the confirmation, no failure
  ASSERT_TRUE(pollUntil(false));
  bool offersStart = false;
  for (const MenuItem& entry : item().menu.items) {
    offersStart = offersStart || entry.action == "startEngine";
  }
  EXPECT_TRUE(offersStart);
  EXPECT_TRUE(env.sandbox.exists("Library/LaunchAgents/com.talmiro.kestrova.engine.plist"));
  delegate->perform("startEngine");
  EXPECT_EQ(env.ui.alerts.size(), 2u);  // installed again without complaint
  ASSERT_TRUE(pollUntil(true));

  // Quitting leaves the engine broadcasting: the next launch finds it answering, and no welcome.
  env.ui.answers.push_back(kFirstButton);  // "Quit"
  delegate->perform("quit");
  EXPECT_EQ(env.ui.alerts.back().informative,
            "Your channel will keep broadcasting in the background. To take it off air, use the "
            "dashboard.");
  EXPECT_TRUE(env.ui.terminated);
  delegate.reset();
  delegate = AppDelegate::create();
  delegate->applicationDidFinishLaunching();
  EXPECT_EQ(env.ui.alerts.size(), 3u);
  ASSERT_TRUE(pollUntil(true));
}

}  // namespace
}  // namespace kestrova::testing
