// The controller end to end on Linux: first run, the menu's stop and start, and quitting, with
// the launchctl and caffeinate stand-ins and the stand-in engine as real processes in a
// sandboxed home. Virtual time drives the controller's timers; the processes take real time.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "app/dashboard/dashboard_window.h"
#include "app/engine/shell.h"
#include "app/shell/app_delegate.h"
#include "tests/support/real_processes.h"
#include "tests/support/test_platform.h"

namespace kestrova::testing {
namespace {

namespace fs = std::filesystem;

class ShellSystemTest : public ::testing::Test {
 protected:
  ShellSystemTest() {
    env.host.realSleeps = true;
    env.host.uid = ::getuid();
    env.host.env["KESTROVA_ALLOW_ANYWHERE"] = "1";
    env.sandbox.write("Library/Application Support/Kestrova/config.json",
                      "{\"port\": " + std::to_string(port) + "}");
    const std::string bundle = env.sandbox.path("Apps/Kestrova.app");
    fs::create_directories(bundle + "/Contents");
    fs::copy(std::string(KESTROVA_BUNDLE_DIR) + "/Contents/Resources",
             bundle + "/Contents/Resources", fs::copy_options::recursive);
    env.host.bundle = bundle;
    env.host.resources = bundle + "/Contents/Resources";
  }
  ~ShellSystemTest() override {
    // Nothing this test started may outlive it.
    (void)shell(standinTools().launchctl, {"x-power-cut"});
  }

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

  TestPlatform env{standinTools()};
  HomeForChildren home{env.sandbox.home()};
  int port = freePort();
  std::shared_ptr<AppDelegate> delegate = AppDelegate::create();
};

TEST_F(ShellSystemTest, FirstRunInstallsTheAgentOpensTheDashboardAndGoesOnline) {
  env.ui.answers.push_back(ScriptedAnswer{kAlertFirstButton, std::nullopt, 0});  // "Set Up"
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
}

// Stopping must finish within the agent's 3-second wait even right after a poll has left an
// idle connection open to the engine.
TEST_F(ShellSystemTest, StopAndStartFromTheMenu) {
  env.ui.answers.push_back(ScriptedAnswer{kAlertFirstButton, std::nullopt, 0});  // "Set Up"
  delegate->applicationDidFinishLaunching();
  ASSERT_TRUE(pollUntil(true));

  env.ui.answers.push_back(ScriptedAnswer{kAlertFirstButton, std::nullopt, 0});  // "Stop"
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
}

TEST_F(ShellSystemTest, QuittingLeavesTheEngineBroadcasting) {
  env.ui.answers.push_back(ScriptedAnswer{kAlertFirstButton, std::nullopt, 0});  // "Set Up"
  delegate->applicationDidFinishLaunching();
  ASSERT_TRUE(pollUntil(true));

  env.ui.answers.push_back(ScriptedAnswer{kAlertFirstButton, std::nullopt, 0});  // "Quit"
  delegate->perform("quit");
  EXPECT_EQ(env.ui.alerts.back().informative,
            "Your channel will keep broadcasting in the background. To take it off air, use the "
            "dashboard.");
  EXPECT_TRUE(env.ui.terminated);
  delegate.reset();

  // A fresh controller (the next launch) finds the engine still answering.
  delegate = AppDelegate::create();
  delegate->applicationDidFinishLaunching();
  EXPECT_EQ(env.ui.alerts.size(), 2u);  // no welcome this time
  ASSERT_TRUE(pollUntil(true));
}

}  // namespace
}  // namespace kestrova::testing
