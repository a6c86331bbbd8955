// The GTK program end to end under X and a private D-Bus session: it polls the stand-in engine
// its agent runs, shows the core's status menu, opens one dashboard window, and quits cleanly.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <thread>
#include <utility>

#include "app/engine/agent.h"
#include "app/engine/shell.h"
#include "app/shell/status_menu.h"
#include "tests/support/loopback_server.h"
#include "tests/support/real_processes.h"
#include "tests/support/test_platform.h"
#include "tests/system/gtk/gtk_testing.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::eventually;

const std::string kProgram = std::string(KESTROVA_BUNDLE_DIR) + "/Contents/MacOS/Kestrova";
const std::string kSetupNeeded = "Kestrova — Setup needed";

// Starts a tool found on PATH with exactly `env`, its output discarded; its pid or -1.
pid_t spawn(std::vector<std::string> args, std::vector<std::string> env) {
  std::vector<char*> argv;
  std::vector<char*> envp;
  for (auto& arg : args) argv.push_back(arg.data());
  for (auto& var : env) envp.push_back(var.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  pid_t pid = -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return failed == 0 ? pid : -1;
}

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
    session_ = spawn({"dbus-run-session", "--", "sh", "-c",
                      R"(echo "$DBUS_SESSION_BUS_ADDRESS" > "$0"; echo $$ > "$1"; exec "$2")",
                      scratch_ + "/bus", scratch_ + "/pid", kProgram},
                     env_);
  }
  ~RunningApp() {
    if (session_ > 0 && !exited_) {
      kill(appPid(), SIGTERM);
      int status = 0;
      waitpid(session_, &status, 0);
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
  int waitExit(double limitSeconds) {
    int status = 0;
    exited_ =
        eventually([&] { return waitpid(session_, &status, WNOHANG) == session_; }, limitSeconds);
    return exited_ && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  std::string scratch_;
  std::vector<std::string> env_;
  pid_t session_ = -1;
  bool exited_ = false;
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

  // Gives the engine a folder with one video, as the dashboard's setup step does.
  void setMediaFolder() {
    test_.sandbox.write("Movies/morning.mp4", "not really a video");
    const std::string body = R"({"path": ")" + test_.sandbox.path("Movies") + R"("})";
    ASSERT_EQ(runToEnd({"curl", "-sf", "-o", "/dev/null", "-d", body,
                        dashboardUrl() + "api/setup/folder"},
                       {"PATH=/usr/bin:/bin"}),
              0);
  }

  testing::TestPlatform test_{testing::standinTools()};
  // The stand-in launchctl keeps its state under HOME: the sandbox, for this test and the program.
  testing::HomeForChildren home_{test_.sandbox.home()};
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

// As on the Mac, no poll runs while a modal alert is open: what the engine says meanwhile
// reaches the menu only after the alert has closed.
TEST_F(GtkFrontend, NoPollWhileAnAlertIsOpenAndPollingResumesWhenItCloses) {
  if (!fs::exists("/usr/bin/xdotool")) {
    GTEST_SKIP() << "needs xdotool";
  }
  RunningApp app(test_.sandbox.home(), scratch());
  ASSERT_EQ(firstTitle(firstReply(app)), kSetupNeeded);

  // The status menu's Quit asks first; the call returns only once the alert has been answered.
  const pid_t asking = spawn(app.activation("quit"), app.busEnv());
  ASSERT_GT(asking, 0);
  const json asked = app.waitForState([](const json& s) { return !s["alerts"].empty(); }, 10);
  ASSERT_FALSE(asked["alerts"].empty());
  EXPECT_EQ(asked["alerts"][0]["message"], "Quit Kestrova?");
  EXPECT_EQ(asked["alerts"][0]["buttons"], json({"Quit", "Cancel"}));

  // The engine changes state; with the alert open for more than two poll periods, the menu
  // must not learn of it.
  ASSERT_NO_FATAL_FAILURE(setMediaFolder());
  std::this_thread::sleep_for(std::chrono::seconds(12));
  EXPECT_EQ(firstTitle(app.state()), kSetupNeeded) << "a poll ran under the alert";

  // Escape answers Cancel: the program stays, and the held poll runs at once.
  ASSERT_EQ(runToEnd({"sh", "-c",
                      "w=$(xdotool search --onlyvisible --name '^Kestrova$' | tail -1) && "
                      "xdotool windowfocus --sync \"$w\" key Escape"},
                     app.env()),
            0);
  int status = 0;
  EXPECT_TRUE(eventually([&] { return waitpid(asking, &status, WNOHANG) == asking; }, 10));
  const json after = app.waitForState(
      [](const json& s) { return s["alerts"].empty() && firstTitle(s) != kSetupNeeded; }, 10);
  EXPECT_TRUE(after["alerts"].empty());
  EXPECT_NE(firstTitle(after), kSetupNeeded);
  EXPECT_TRUE(processExists(app.appPid()));
}

// The main menu's Quit with something in flight or on screen: the program ends at once with
// status 0, and in the sanitizer build with nothing to report. The engine here answers the
// polls but never the folder or the feed.
TEST_F(GtkFrontend, QuitsCleanlyWhateverIsPendingOrShown) {
  // Once the stand-in engine listens, this server cannot be given its port (both would take it).
  ASSERT_TRUE(eventually([&] {
    return runToEnd({"curl", "-sf", "-o", "/dev/null", dashboardUrl() + "api/status"},
                    {"PATH=/usr/bin:/bin"}) == 0;
  }));
  testing::LoopbackServer engine;
  engine.on("GET", "/api/status", testing::LoopbackReply{.body = R"({"setup_complete": false})"});
  engine.on("GET", "/",
            testing::LoopbackReply{.body = "<title>Kestrova</title>", .contentType = "text/html"});
  engine.on("POST", "/api/setup/folder", testing::LoopbackReply{.body = "{}", .delaySeconds = 300});
  engine.on("GET", "/appcast.json", testing::LoopbackReply{.body = "{}", .delaySeconds = 300});
  test_.sandbox.write("Library/Application Support/Kestrova/config.json",
                      "{\"port\": " + std::to_string(engine.port()) + ", \"update_feed\": \"" +
                          engine.url("/appcast.json") + "\"}\n");
  const auto arrived = [&](const std::string& path) {
    const auto before =
        std::ranges::count(engine.requests(), path, &testing::RecordedRequest::path);
    return [&engine, path, before] {
      return eventually([&] {
        return std::cmp_greater(
            std::ranges::count(engine.requests(), path, &testing::RecordedRequest::path), before);
      });
    };
  };
  const auto chooseFolder = [](const RunningApp& app, const std::string& folder) {
    std::vector<std::string> call = app.activation("x-choose-folder");
    call[call.size() - 2] = "[<'" + folder + "'>]";
    return runToEnd(call, app.busEnv()) == 0;
  };
  const std::vector<std::pair<const char*, std::function<bool(RunningApp&)>>> cases = {
      {"a feed check pending",
       [&](RunningApp& app) {
         const auto fed = arrived("/appcast.json");
         return app.activate("checkForUpdates") && fed();
       }},
      {"a media-folder request pending",
       [&](RunningApp& app) {
         fs::create_directories(test_.sandbox.path("Movies"));
         const auto posted = arrived("/api/setup/folder");
         return app.activate("chooseMediaFolder") &&
                !app.waitForState([](const json& s) { return !s["alerts"].empty(); }, 10)["alerts"]
                     .empty() &&
                chooseFolder(app, test_.sandbox.path("Movies")) && posted();
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
       [](RunningApp& app) {
         (void)spawn(app.activation("quit"), app.busEnv());
         return !app.waitForState([](const json& s) { return !s["alerts"].empty(); }, 10)["alerts"]
                     .empty();
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
