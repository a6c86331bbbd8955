// The GTK program end to end under X and a private D-Bus session: it polls the stand-in engine
// its agent runs, shows the core's status menu, opens one dashboard window, and quits cleanly.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "app/engine/agent.h"
#include "app/engine/shell.h"
#include "app/shell/status_menu.h"
#include "tests/support/child_process.h"
#include "tests/support/loopback_server.h"
#include "tests/support/real_processes.h"
#include "tests/support/scoped_env.h"
#include "tests/support/test_platform.h"
#include "tests/system/gtk/gtk_testing.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::eventually;

const std::string kProgram = std::string(KESTROVA_BUNDLE_DIR) + "/Contents/MacOS/Kestrova";
const std::string kSetupNeeded = "Kestrova — Setup needed";

// Runs a tool found on PATH to its end with exactly `env`; its exit status.
int runToEnd(std::vector<std::string> args, const std::vector<std::string>& env) {
  args.insert(args.begin(), env.begin(), env.end());
  args.insert(args.begin(), "-i");
  return shell("/usr/bin/env", args).status;
}

std::string firstLine(const std::string& path) {
  std::string line;
  std::getline(std::ifstream(path), line);
  return line;
}

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

bool processExists(pid_t pid) { return kill(pid, 0) == 0; }

// The program, started in its own D-Bus session so that its application id is its own.
class RunningApp {
 public:
  RunningApp(const std::string& home, std::string scratch) : scratch_(std::move(scratch)) {
    env_ = {
        "HOME=" + home,
        "XDG_CONFIG_HOME=" + home + "/.config",
        "XDG_CACHE_HOME=" + home + "/.cache",
        "XDG_DATA_HOME=" + home + "/.local/share",
        "KESTROVA_ALLOW_ANYWHERE=1",
        "KESTROVA_STATE_DUMP=" + statePath(),
        "NO_AT_BRIDGE=1",
        "PATH=" + std::string(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin"),
    };
    for (const char* name :
         {"DISPLAY", "XAUTHORITY", "ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"}) {
      if (const char* value = std::getenv(name)) {
        env_.push_back(std::string(name) + "=" + value);
      }
    }
    session_ = std::make_unique<testing::ChildProcess>(testing::ChildSpec{
        .argv = {"dbus-run-session", "--", "sh", "-c",
                 R"(echo "$DBUS_SESSION_BUS_ADDRESS" > "$0"; echo $$ > "$1"; exec "$2")",
                 scratch_ + "/bus", scratch_ + "/pid", kProgram},
        .env = env_,
        .onlyEnv = true,
        .stdoutPath = "/dev/null",
        .stderrPath = "/dev/null"});
  }
  ~RunningApp() {
    if (session_->running()) {
      kill(appPid(), SIGTERM);
      (void)session_->wait(30);
    }
  }
  RunningApp(const RunningApp&) = delete;
  RunningApp& operator=(const RunningApp&) = delete;

  [[nodiscard]] std::string statePath() const { return scratch_ + "/state.json"; }
  [[nodiscard]] pid_t appPid() const { return std::atoi(firstLine(scratch_ + "/pid").c_str()); }
  [[nodiscard]] std::vector<std::string> env() const { return env_; }
  [[nodiscard]] std::vector<std::string> busEnv() const {
    return {"DBUS_SESSION_BUS_ADDRESS=" + firstLine(scratch_ + "/bus"), "PATH=/usr/bin:/bin"};
  }
  // An application action over D-Bus, as `gapplication action` or a desktop would run it.
  [[nodiscard]] std::vector<std::string> activation(const std::string& action) const {
    return {"gdbus",
            "call",
            "--session",
            "--dest",
            "com.talmiro.kestrova",
            "--object-path",
            "/com/talmiro/kestrova",
            "--method",
            "org.gtk.Actions.Activate",
            action,
            "[]",
            "{}"};
  }
  bool activate(const std::string& action) { return runToEnd(activation(action), busEnv()) == 0; }

  // The front end's own account of what it shows, fresh.
  json state() {
    fs::remove(statePath());
    if (!activate("x-dump-state")) {
      return {};
    }
    return json::parse(std::ifstream(statePath()), nullptr, false);
  }

  // Waits until the state satisfies the predicate; returns the last state read.
  json waitForState(const std::function<bool(const json&)>& ok, double limitSeconds) {
    json last;
    (void)eventually(
        [&] {
          last = state();
          return !last.is_discarded() && !last.is_null() && ok(last);
        },
        limitSeconds);
    return last;
  }

  // The program's exit status once it has ended, or -1 when it did not end in time.
  int waitExit(double limitSeconds) { return session_->wait(limitSeconds).value_or(-1); }

 private:
  std::string scratch_;
  std::vector<std::string> env_;
  std::unique_ptr<testing::ChildProcess> session_;
};

// The status item's first line: the program's name and the engine's state.
std::string firstTitle(const json& state) {
  const json::json_pointer title("/statusItems/0/menu/0/title");
  return state.is_object() ? state.value(title, std::string()) : std::string();
}

class GtkFrontend : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) {
      GTEST_SKIP() << testing::kNeedsDisplay;
    }
    ASSERT_TRUE(fs::exists(kProgram)) << kProgram;
    test_.host.bundle = KESTROVA_BUNDLE_DIR;
    test_.host.resources = std::string(KESTROVA_BUNDLE_DIR) + "/Contents/Resources";
    test_.host.uid = getuid();
    test_.host.realSleeps = true;
    test_.host.env["KESTROVA_ALLOW_ANYWHERE"] = "1";
    port_ = testing::freePort();
    test_.sandbox.write("Library/Application Support/Kestrova/config.json",
                        "{\"port\": " + std::to_string(port_) + "}\n");
    const auto failed = Agent::install();
    ASSERT_FALSE(failed.has_value()) << *failed;
    installed_ = true;
    fs::create_directories(scratch());
  }

  void TearDown() override {
    if (installed_) {
      Agent::uninstall();
    }
  }

  [[nodiscard]] std::string scratch() const { return test_.sandbox.path("scratch"); }
  [[nodiscard]] std::string dashboardUrl() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/";
  }

  // A fresh engine has no media folder: its first reply turns the item to "Setup needed".
  static json firstReply(RunningApp& app) {
    return app.waitForState([](const json& s) { return firstTitle(s) == kSetupNeeded; }, 30);
  }

  testing::TestPlatform test_{testing::standinTools()};
  // The stand-in launchctl keeps its state under HOME: the sandbox, for this test and the program.
  testing::ScopedEnv home_{"HOME", test_.sandbox.home()};
  int port_ = 0;
  bool installed_ = false;
};

// One session from start to quit: the program polls the engine its agent runs (no dialog), shows
// the core's menu for the engine's state, opens one dashboard window however often asked, and
// ends cleanly, leaving no child behind and the engine to its agent.
TEST_F(GtkFrontend, ShowsTheCoresMenuOpensOneDashboardWindowAndQuitsCleanly) {
  RunningApp app(test_.sandbox.home(), scratch());
  const json state = firstReply(app);
  ASSERT_EQ(firstTitle(state), kSetupNeeded) << state.dump(2);
  EXPECT_TRUE(state["alerts"].empty()) << "no dialog with an agent already installed";
  const json& item = state["statusItems"][0];
  EXPECT_EQ(item["menu"], testing::shownForm(buildStatusMenu(EngineStatus::needsSetup, "", true)));
  EXPECT_EQ(item["icon"], "dialog-warning-symbolic");
  EXPECT_EQ(item["iconDescription"], "Setup needed");

  ASSERT_TRUE(app.activate("openDashboard"));
  const json opened = app.waitForState(
      [](const json& s) {
        return s["webWindows"].size() == 1 && s["webWindows"][0]["finishedLoads"] >= 1;
      },
      30);
  ASSERT_EQ(opened["webWindows"].size(), 1U) << opened.dump(2);
  const json& window = opened["webWindows"][0];
  EXPECT_EQ(window["title"], "Kestrova");
  EXPECT_EQ(window["pageTitle"], "Kestrova");
  EXPECT_EQ(window["uri"], dashboardUrl());
  EXPECT_EQ(window["visible"], true);
  EXPECT_EQ(window["finishedLoads"], 1);
  EXPECT_GE(window["frame"]["width"].get<int>(), 1040);

  // Again: the same window, brought forward, and no second load.
  ASSERT_TRUE(app.activate("openDashboard"));
  const json again = app.state();
  EXPECT_EQ(again["webWindows"].size(), 1U);
  EXPECT_EQ(again["windowCount"], 1);
  EXPECT_EQ(again["webWindows"][0]["finishedLoads"], 1);

  // Closing only hides it; a second launch of the program asks the reopen question, which
  // shows the same window again without loading.
  ASSERT_TRUE(app.activate("performClose"));
  EXPECT_EQ(app.waitForState([](const json& s) { return s["webWindows"][0]["visible"] == false; },
                             10)["webWindows"][0]["visible"],
            false);
  EXPECT_TRUE(fs::exists(test_.sandbox.path(".config/kestrova/windows.ini")));
  std::vector<std::string> env = app.env();
  env.push_back(app.busEnv().front());
  EXPECT_EQ(runToEnd({kProgram}, env), 0) << "the second launch hands over and ends";
  const json reopened =
      app.waitForState([](const json& s) { return s["webWindows"][0]["visible"] == true; }, 10);
  EXPECT_EQ(reopened["webWindows"][0]["visible"], true);
  EXPECT_EQ(reopened["webWindows"].size(), 1U);
  EXPECT_EQ(reopened["webWindows"][0]["finishedLoads"], 1);

  const std::set<pid_t> children = descendantsOf(app.appPid());
  EXPECT_FALSE(children.empty()) << "the web view runs its page in helper processes";
  // The main menu's Quit: no confirmation.
  ASSERT_TRUE(app.activate("terminate"));
  EXPECT_EQ(app.waitExit(20), 0);
  for (const pid_t child : children) {
    EXPECT_TRUE(eventually([&] { return !processExists(child); }, 10))
        << "process " << child << " outlived the program";
  }
  EXPECT_EQ(runToEnd({"curl", "-sf", "-o", "/dev/null", dashboardUrl() + "api/status"},
                     {"PATH=/usr/bin:/bin"}),
            0);
}

// Quit from the main menu with something in flight or on screen: the program ends at once with
// status 0, and in the sanitizer build with nothing to report. This engine answers the polls but
// never the folder or the feed.
TEST_F(GtkFrontend, QuitsCleanlyWhateverIsPendingOrShown) {
  // Once the stand-in engine listens, this server cannot be given its port (both would take it).
  ASSERT_TRUE(eventually([&] {
    return runToEnd({"curl", "-sf", "-o", "/dev/null", dashboardUrl() + "api/status"},
                    {"PATH=/usr/bin:/bin"}) == 0;
  }));
  using testing::LoopbackReply;
  testing::LoopbackServer engine;
  engine.on("GET", "/api/status", LoopbackReply{.body = R"({"setup_complete": false})"});
  engine.on("GET", "/",
            LoopbackReply{.body = "<title>Kestrova</title>", .contentType = "text/html"});
  engine.on("POST", "/api/setup/folder", LoopbackReply{.body = "{}", .delaySeconds = 300});
  engine.on("GET", "/appcast.json", LoopbackReply{.body = "{}", .delaySeconds = 300});
  test_.sandbox.write("Library/Application Support/Kestrova/config.json",
                      "{\"port\": " + std::to_string(engine.port()) + ", \"update_feed\": \"" +
                          engine.url("/appcast.json") + "\"}\n");
  // Makes the call and waits until the engine has seen one more request for `path`.
  const auto reaches = [&](RunningApp& app, const std::vector<std::string>& call,
                           const std::string& path) {
    const auto seen = [&] {
      return std::ranges::count(engine.requests(), path, &testing::RecordedRequest::path);
    };
    const auto before = seen();
    return runToEnd(call, app.busEnv()) == 0 && eventually([&] { return seen() > before; });
  };
  const auto dialogUp = [](RunningApp& app) {
    return !app.waitForState([](const json& s) { return !s["alerts"].empty(); }, 10)["alerts"]
                .empty();
  };
  const std::vector<std::pair<const char*, std::function<bool(RunningApp&)>>> cases = {
      {"a feed check pending",
       [&](RunningApp& app) {
         return reaches(app, app.activation("checkForUpdates"), "/appcast.json");
       }},
      {"a media-folder request pending",
       [&](RunningApp& app) {
         fs::create_directories(test_.sandbox.path("Movies"));
         std::vector<std::string> choose = app.activation("x-choose-folder");
         choose[choose.size() - 2] = "[<'" + test_.sandbox.path("Movies") + "'>]";
         return app.activate("chooseMediaFolder") && dialogUp(app) &&
                reaches(app, choose, "/api/setup/folder");
       }},
      {"the dashboard open",
       [](RunningApp& app) {
         return app.activate("openDashboard") &&
                app.waitForState(
                       [](const json& s) {
                         return s["webWindows"].size() == 1 &&
                                s["webWindows"][0]["finishedLoads"] >= 1;
                       },
                       30)["webWindows"]
                        .size() == 1;
       }},
      {"an alert up",
       [&](RunningApp& app) {
         // The confirmation holds this call until it closes: sent, not waited for.
         testing::ChildProcess asking({.argv = app.activation("quit"), .env = app.busEnv()});
         return dialogUp(app);
       }},
  };
  for (const auto& [name, bringAbout] : cases) {
    SCOPED_TRACE(name);
    RunningApp app(test_.sandbox.home(), scratch());
    ASSERT_EQ(firstTitle(firstReply(app)), kSetupNeeded);
    ASSERT_TRUE(bringAbout(app));
    ASSERT_TRUE(app.activate("terminate"));
    EXPECT_EQ(app.waitExit(20), 0);
  }
}

}  // namespace
}  // namespace kestrova
