// The GTK program end to end under X and a private D-Bus session: it polls the stand-in engine
// its agent runs, shows the core's status menu, opens one dashboard window, and quits cleanly.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <sstream>
#include <tuple>

#include "app/engine/agent.h"
#include "app/engine/shell.h"
#include "app/shell/status_menu.h"
#include "tests/support/child_process.h"
#include "tests/support/loopback_server.h"
#include "tests/support/scoped_env.h"
#include "tests/support/standin_machine.h"
#include "tests/system/gtk/desktop_program.h"
#include "tests/system/gtk/gtk_testing.h"

namespace kestrova::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const std::string kProgram = std::string(KESTROVA_BUNDLE_DIR) + "/Contents/MacOS/Kestrova";

// The processes whose parent is `pid`, and theirs.
std::set<pid_t> descendantsOf(pid_t pid) {
  std::set<pid_t> found;
  std::istringstream children(shell("/usr/bin/pgrep", {"-P", std::to_string(pid)}).output);
  for (pid_t child = 0; children >> child;) {
    found.insert(child);
    found.merge(descendantsOf(child));
  }
  return found;
}

// What the front end shows, as its own state dump tells, once a condition holds.
using StateCheck = std::function<bool(const json&)>;
StateCheck windowVisible(bool visible) {
  return [visible](const json& s) { return s["webWindows"][0]["visible"] == visible; };
}

class GtkFrontend : public ::testing::Test, protected StandinMachine {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << kNeedsDisplay;
    useCopy(KESTROVA_BUNDLE_DIR);  // the agent of the program the test runs
    ASSERT_EQ(Agent::install(), std::nullopt);
    ASSERT_TRUE(eventually([&] { return fs::exists(socket); }));
  }
  json stateOnce(const StateCheck& ok) { return testing::stateOnce(dump, ok); }

  // The program and what it starts see the sandbox as their home, with XDG folders below it, and
  // a session bus of their own, so that the application id is theirs.
  std::string dump = env.sandbox.path("state.json"), socket = env.sandbox.path("bus");
  ScopedEnv config{"XDG_CONFIG_HOME", std::nullopt}, cache{"XDG_CACHE_HOME", std::nullopt},
      data{"XDG_DATA_HOME", std::nullopt}, anywhere{"KESTROVA_ALLOW_ANYWHERE", "1"},
      dumpTo{"KESTROVA_STATE_DUMP", dump}, noBridge{"NO_AT_BRIDGE", "1"},
      bus{"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + socket};
  ChildProcess busDaemon{
      {.argv = {"dbus-daemon", "--session", "--nofork", "--address=unix:path=" + socket}}};
};

// One session from start to quit: the program polls the engine its agent runs (no dialog), shows
// the core's menu for the engine's state, opens one dashboard window however often asked, and
// ends cleanly, leaving no child behind and the engine to its agent.
TEST_F(GtkFrontend, ShowsTheCoresMenuOpensOneDashboardWindowAndQuitsCleanly) {
  ChildProcess program({.argv = {kProgram}, .stdoutPath = "/dev/null", .stderrPath = "/dev/null"});
  const json::json_pointer title("/statusItems/0/menu/0/title");
  const std::string setupNeeded = "Kestrova \u2014 Setup needed";
  // A fresh engine has no media folder: its first reply turns the item to "Setup needed".
  const json state =
      stateOnce([&](const json& s) { return s.value(title, std::string()) == setupNeeded; });
  ASSERT_EQ(state.value(title, std::string()), setupNeeded) << state.dump(2);
  EXPECT_TRUE(state["alerts"].empty()) << "no dialog with an agent already installed";
  const json& item = state["statusItems"][0];
  const Menu menu = buildStatusMenu(EngineStatus::needsSetup, "", true);
  ASSERT_EQ(item["menu"].size(), menu.items.size()) << item.dump(2);
  for (std::size_t i = 0; i < menu.items.size(); ++i) {
    const json& shown = item["menu"][i];
    EXPECT_EQ(std::tuple(shown.value("title", ""), shown.value("enabled", true),
                         shown.value("checked", false)),
              std::tuple(menu.items[i].title, menu.items[i].enabled, menu.items[i].checked));
  }

  // Asked twice: one window, loaded once, brought forward.
  ASSERT_TRUE(activate("openDashboard"));
  (void)stateOnce([](const json& s) { return s["webWindows"][0]["finishedLoads"] == 1; });
  ASSERT_TRUE(activate("openDashboard"));
  const json opened = stateOnce([](const json&) { return true; });
  ASSERT_EQ(opened["webWindows"].size(), 1U) << opened.dump(2);
  const json& window = opened["webWindows"][0];
  EXPECT_EQ(window["pageTitle"], "Kestrova") << "the engine's page";
  EXPECT_EQ(std::tuple(window["visible"], window["finishedLoads"], opened["windowCount"]),
            std::tuple(true, 1, 1));

  // Closing only hides it; a second launch of the program asks the reopen question, which shows
  // the same window again without loading.
  ASSERT_TRUE(activate("performClose"));
  EXPECT_EQ(stateOnce(windowVisible(false))["webWindows"][0]["visible"], false);
  EXPECT_TRUE(env.sandbox.exists(".config/kestrova/windows.ini")) << "its frame saved";
  EXPECT_EQ(shell(kProgram, {}).status, 0) << "the second launch hands over and ends";
  const json reopened = stateOnce(windowVisible(true))["webWindows"];
  EXPECT_EQ(std::tuple(reopened.size(), reopened[0]["visible"], reopened[0]["finishedLoads"]),
            std::tuple(1U, true, 1));

  // The main menu's Quit: no confirmation, no child left, the engine still on air.
  const std::set<pid_t> children = descendantsOf(program.pid());
  EXPECT_FALSE(children.empty()) << "the web view runs its page in helper processes";
  ASSERT_TRUE(activate("terminate"));
  EXPECT_EQ(program.wait(20), 0);
  for (const pid_t child : children) {
    EXPECT_TRUE(eventually([&] { return !processRunning(child); }, 10))
        << "process " << child << " outlived the program";
  }
  EXPECT_TRUE(engineAnswers());
}

// Quit with something in flight or on screen: the program ends at once with status 0, and in
// the sanitizer build with nothing to report. This engine answers polls, never the folder or feed.
TEST_F(GtkFrontend, QuitsCleanlyWhateverIsPendingOrShown) {
  LoopbackServer engine;
  engine.on("GET", "/api/status", LoopbackReply{.body = R"({"setup_complete": false})"});
  engine.on("GET", "/", LoopbackReply{.body = "<title>K</title>", .contentType = "text/html"});
  engine.on("POST", "/api/setup/folder", LoopbackReply{.body = "{}", .delaySeconds = 300});
  engine.on("GET", "/appcast.json", LoopbackReply{.body = "{}", .delaySeconds = 300});
  // The agent's engine settles its own configuration as it starts: ours goes in after.
  ASSERT_TRUE(eventually([&] { return engineAnswers(); }));
  env.sandbox.write(kConfigFile, R"({"port": )" + std::to_string(engine.port()) +
                                     R"(, "update_feed": ")" + engine.url("/appcast.json") + "\"}");
  const auto arrived = [&](const std::string& path) {
    return std::ranges::count(engine.requests(), path, &RecordedRequest::path) > 0;
  };
  const auto dialogUp = [&] {
    return !stateOnce([](const json& s) { return !s["alerts"].empty(); })["alerts"].empty();
  };
  std::optional<ChildProcess> asking;
  const std::vector<std::pair<const char*, std::function<bool()>>> cases = {
      {"a feed check pending",
       // A limit fit for the sanitizer build, where the program is several times slower.
       [&] {
         return activate("checkForUpdates") &&
                eventually([&] { return arrived("/appcast.json"); }, 30);
       }},
      {"a media-folder request pending",
       [&] {
         auto choose = actionCall("x-choose-folder");
         choose[choose.size() - 2] = "[<'" + env.sandbox.path("") + "'>]";
         // The chooser may be registered a moment before it is shown: answer until it sends.
         return activate("chooseMediaFolder") && dialogUp() &&
                eventually(
                    [&] {
                      if (arrived("/api/setup/folder")) return true;
                      (void)shell(choose[0], {choose.begin() + 1, choose.end()});
                      return false;
                    },
                    30);
       }},
      {"the dashboard open",
       [&] {
         return activate("openDashboard") && stateOnce([](const json& s) {
                                               return s["webWindows"][0]["finishedLoads"] == 1;
                                             })["webWindows"][0]["finishedLoads"] == 1;
       }},
      {"an alert up",
       [&] {
         // The confirmation holds this call until it closes: sent, not waited for.
         asking.emplace(ChildSpec{.argv = actionCall("quit")});
         return dialogUp();
       }},
  };
  for (const auto& [name, bringAbout] : cases) {
    SCOPED_TRACE(name);
    ChildProcess program({.argv = {kProgram}, .stdoutPath = "/dev/null"});
    const json::json_pointer title("/statusItems/0/menu/0/title");
    const auto ready = [&](const json& s) { return s.value(title, "").ends_with("Setup needed"); };
    ASSERT_TRUE(ready(stateOnce(ready)));
    ASSERT_TRUE(bringAbout());
    ASSERT_TRUE(activate("terminate"));
    EXPECT_EQ(program.wait(20), 0);
  }
}

}  // namespace
}  // namespace kestrova::testing
