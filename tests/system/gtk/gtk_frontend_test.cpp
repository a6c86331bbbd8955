// The GTK program end to end under X and a private D-Bus session: it polls the stand-in engine
// its agent runs, shows the core's status menu, opens one dashboard window, and quits cleanly.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/engine/agent.h"
#include "app/engine/engine_status.h"
#include "app/shell/status_menu.h"
#include "frontends/gtk/menu_widgets.h"
#include "tests/support/test_platform.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using Clock = std::chrono::steady_clock;

const std::string kProgram = std::string(KESTROVA_BUNDLE_DIR) + "/Contents/MacOS/Kestrova";

bool waitUntil(const std::function<bool()>& done, std::chrono::seconds limit) {
  const auto deadline = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return true;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> result;
  result.reserve(strings.size() + 1);
  for (auto& s : strings) {
    result.push_back(s.data());
  }
  result.push_back(nullptr);
  return result;
}

pid_t spawn(std::vector<std::string> args, std::vector<std::string> env) {
  auto argv = pointers(args);
  auto envp = pointers(env);
  pid_t pid = -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return failed == 0 ? pid : -1;
}

int runToEnd(std::vector<std::string> args, std::vector<std::string> env) {
  const pid_t pid = spawn(std::move(args), std::move(env));
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) {
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

// The processes whose parent is `pid`, and theirs.
std::set<pid_t> descendantsOf(pid_t pid) {
  std::set<pid_t> found{pid};
  bool grew = true;
  while (grew) {
    grew = false;
    for (const auto& entry : fs::directory_iterator("/proc")) {
      const std::string name = entry.path().filename();
      if (name.find_first_not_of("0123456789") != std::string::npos) {
        continue;
      }
      const std::string stat = readFile(entry.path() / "stat");
      const auto close = stat.rfind(')');
      if (close == std::string::npos) {
        continue;
      }
      std::istringstream rest(stat.substr(close + 2));
      char state = 0;
      pid_t parent = 0;
      rest >> state >> parent;
      const pid_t child = std::stoi(name);
      if (found.contains(parent) && !found.contains(child)) {
        found.insert(child);
        grew = true;
      }
    }
  }
  found.erase(pid);
  return found;
}

bool processExists(pid_t pid) { return kill(pid, 0) == 0; }

int freePort() {
  // Bound and released at once: good enough for a test that then binds it within a second.
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  (void)bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  (void)getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  const int port = ntohs(address.sin_port);
  close(fd);
  return port;
}

// The status menu the core builds, as the front end's read-back describes it.
json expectedMenu(EngineStatus status, const std::string& now, bool agentFile) {
  const Menu menu = buildStatusMenu(status, now, agentFile);
  json items = json::array();
  for (const MenuItem& item : menu.items) {
    if (item.separator) {
      items.push_back({{"separator", true}});
      continue;
    }
    json described = {{"title", item.title},
                      {"enabled", item.enabled},
                      {"checked", item.checked},
                      {"action", gtk::actionNameFor(item)}};
    if (const auto accelerator = gtk::acceleratorFor(item.key)) {
      described["shortcut"] =
          "Ctrl+" + std::string(1, static_cast<char>(std::toupper(item.key[0])));
    }
    items.push_back(described);
  }
  return items;
}

// The program, started in its own D-Bus session so that its application id is its own.
class RunningApp {
 public:
  RunningApp(const std::string& home, std::string scratch) : scratch_(std::move(scratch)) {
    std::vector<std::string> env = {
        "HOME=" + home,
        "XDG_CONFIG_HOME=" + home + "/.config",
        "XDG_CACHE_HOME=" + home + "/.cache",
        "XDG_DATA_HOME=" + home + "/.local/share",
        "KESTROVA_ALLOW_ANYWHERE=1",
        "KESTROVA_STATE_DUMP=" + statePath(),
        "NO_AT_BRIDGE=1",
        "PATH=" + std::string(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin"),
    };
    for (const char* name : {"DISPLAY", "XAUTHORITY"}) {
      if (const char* value = std::getenv(name)) {
        env.push_back(std::string(name) + "=" + value);
      }
    }
    env_ = env;
    session_ = spawn({"dbus-run-session", "--", "sh", "-c",
                      R"(echo "$DBUS_SESSION_BUS_ADDRESS" > "$0"; echo $$ > "$1"; exec "$2")",
                      scratch_ + "/bus", scratch_ + "/pid", kProgram},
                     env);
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
  [[nodiscard]] pid_t appPid() const { return std::atoi(readFile(scratch_ + "/pid").c_str()); }
  [[nodiscard]] std::vector<std::string> env() const { return env_; }

  // Runs an application action over D-Bus, as `gapplication action` or a desktop would.
  bool activate(const std::string& action) {
    std::vector<std::string> env = {
        "DBUS_SESSION_BUS_ADDRESS=" + trimmed(readFile(scratch_ + "/bus")), "PATH=/usr/bin:/bin"};
    return runToEnd({"gdbus", "call", "--session", "--dest", "com.talmiro.kestrova",
                     "--object-path", "/com/talmiro/kestrova", "--method",
                     "org.gtk.Actions.Activate", action, "[]", "{}"},
                    env) == 0;
  }

  // The front end's own account of what it shows, fresh.
  json state() {
    fs::remove(statePath());
    if (!activate("x-dump-state")) {
      return {};
    }
    return json::parse(readFile(statePath()), nullptr, false);
  }

  // Waits until the state satisfies the predicate; returns the last state read.
  json waitForState(const std::function<bool(const json&)>& ok, std::chrono::seconds limit) {
    json last;
    (void)waitUntil(
        [&] {
          last = state();
          return !last.is_discarded() && !last.is_null() && ok(last);
        },
        limit);
    return last;
  }

  // The program's exit status once it has ended, or -1 when it did not end in time.
  int waitExit(std::chrono::seconds limit) {
    int status = 0;
    const bool ended =
        waitUntil([&] { return waitpid(session_, &status, WNOHANG) == session_; }, limit);
    exited_ = ended;
    return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  std::string scratch_;
  std::vector<std::string> env_;
  pid_t session_ = -1;
  bool exited_ = false;
};

std::string firstTitle(const json& state) {
  if (!state.contains("statusItems") || state["statusItems"].empty()) {
    return "";
  }
  const json& menu = state["statusItems"][0]["menu"];
  return menu.empty() ? "" : menu[0].value("title", "");
}

class GtkFrontend : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) {
      GTEST_SKIP() << "needs an X display (./dev test provides one with xvfb-run)";
    }
    ASSERT_TRUE(fs::exists(kProgram)) << kProgram;
    previousHome_ = std::getenv("HOME") ? std::getenv("HOME") : "";
    // The stand-in launchctl keeps its state under HOME: point it at the sandbox.
    setenv("HOME", test_.sandbox.home().c_str(), 1);
    test_.host.bundle = KESTROVA_BUNDLE_DIR;
    test_.host.resources = std::string(KESTROVA_BUNDLE_DIR) + "/Contents/Resources";
    test_.host.uid = getuid();
    test_.host.realSleeps = true;
    test_.host.env["KESTROVA_ALLOW_ANYWHERE"] = "1";
    port_ = freePort();
    test_.sandbox.write("Library/Application Support/Kestrova/config.json",
                        "{\"port\": " + std::to_string(port_) + "}\n");
    const auto installed = Agent::install();
    ASSERT_FALSE(installed.has_value()) << *installed;
    fs::create_directories(scratch());
  }

  void TearDown() override {
    if (!previousHome_.empty()) {
      Agent::uninstall();
      setenv("HOME", previousHome_.c_str(), 1);
    }
  }

  [[nodiscard]] std::string scratch() const { return test_.sandbox.path("scratch"); }

  // Gives the engine a folder with one video, as the dashboard's setup step does.
  void setMediaFolder() {
    fs::create_directories(test_.sandbox.path("Movies"));
    test_.sandbox.write("Movies/morning.mp4", "not really a video");
    const std::string body = R"({"path": ")" + test_.sandbox.path("Movies") + R"("})";
    ASSERT_EQ(runToEnd({"curl", "-sf", "-o", "/dev/null", "-d", body,
                        dashboardUrl() + "api/setup/folder"},
                       {"PATH=/usr/bin:/bin"}),
              0);
  }
  [[nodiscard]] std::string dashboardUrl() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/";
  }

  testing::TestPlatform test_{testing::standinTools()};
  std::string previousHome_;
  int port_ = 0;
};

TEST_F(GtkFrontend, StartsWithTheAgentInstalledPollsTheEngineAndShowsTheCoresMenu) {
  RunningApp app(test_.sandbox.home(), scratch());
  // A fresh engine has no media folder: the first reply turns the item to "Setup needed".
  const json state =
      app.waitForState([](const json& s) { return firstTitle(s) == "Kestrova — Setup needed"; },
                       std::chrono::seconds(30));
  ASSERT_EQ(firstTitle(state), "Kestrova — Setup needed") << state.dump(2);
  EXPECT_TRUE(state["alerts"].empty()) << "no dialog with an agent already installed";
  const json& item = state["statusItems"][0];
  EXPECT_EQ(item["menu"], expectedMenu(EngineStatus::needsSetup, "", true));
  EXPECT_EQ(item["icon"], "dialog-warning-symbolic");
  EXPECT_EQ(item["iconDescription"], "Setup needed");

  // Setting the media folder at the engine changes what the following polls bring back.
  ASSERT_NO_FATAL_FAILURE(setMediaFolder());
  const json later = app.waitForState(
      [](const json& s) {
        const std::string title = firstTitle(s);
        return !title.empty() && title != "Kestrova — Setup needed";
      },
      std::chrono::seconds(30));
  const json& menu = later["statusItems"][0]["menu"];
  ASSERT_FALSE(menu.empty()) << later.dump(2);
  bool matched = false;
  for (const EngineStatus status : {EngineStatus::idle, EngineStatus::onAir, EngineStatus::live}) {
    if (menu[0]["title"] == "Kestrova — " + std::string(label(status))) {
      matched = true;
      std::string now;
      if (menu.size() > 1 && menu[1].contains("title")) {
        const std::string line = menu[1]["title"];
        const std::string prefix = "  ▶ ";
        now = line.rfind(prefix, 0) == 0 ? line.substr(prefix.size()) : "";
      }
      EXPECT_EQ(menu, expectedMenu(status, now, true));
    }
  }
  EXPECT_TRUE(matched) << later.dump(2);
}

TEST_F(GtkFrontend, TheDashboardActionOpensOneWindowOnTheEnginesPage) {
  RunningApp app(test_.sandbox.home(), scratch());
  ASSERT_EQ(firstTitle(app.waitForState(
                [](const json& s) { return firstTitle(s) == "Kestrova — Setup needed"; },
                std::chrono::seconds(30))),
            "Kestrova — Setup needed");

  ASSERT_TRUE(app.activate("openDashboard"));
  const json opened = app.waitForState(
      [](const json& s) {
        return s["webWindows"].size() == 1 && s["webWindows"][0]["finishedLoads"] >= 1;
      },
      std::chrono::seconds(30));
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
                             std::chrono::seconds(10))["webWindows"][0]["visible"],
            false);
  EXPECT_TRUE(fs::exists(test_.sandbox.path(".config/kestrova/windows.ini")));
  std::vector<std::string> env = app.env();
  env.push_back("DBUS_SESSION_BUS_ADDRESS=" + trimmed(readFile(scratch() + "/bus")));
  EXPECT_EQ(runToEnd({kProgram}, env), 0) << "the second launch hands over and ends";
  const json reopened =
      app.waitForState([](const json& s) { return s["webWindows"][0]["visible"] == true; },
                       std::chrono::seconds(10));
  EXPECT_EQ(reopened["webWindows"][0]["visible"], true);
  EXPECT_EQ(reopened["webWindows"].size(), 1U);
  EXPECT_EQ(reopened["webWindows"][0]["finishedLoads"], 1);
}

// As on the Mac, no poll runs while a modal alert is open: what the engine says meanwhile
// reaches the menu only after the alert has closed.
TEST_F(GtkFrontend, NoPollWhileAnAlertIsOpenAndPollingResumesWhenItCloses) {
  if (runToEnd({"sh", "-c", "command -v xdotool"}, {"PATH=/usr/bin:/bin"}) != 0) {
    GTEST_SKIP() << "needs xdotool";
  }
  RunningApp app(test_.sandbox.home(), scratch());
  ASSERT_EQ(firstTitle(app.waitForState(
                [](const json& s) { return firstTitle(s) == "Kestrova — Setup needed"; },
                std::chrono::seconds(30))),
            "Kestrova — Setup needed");

  // The status menu's Quit asks first; the call returns only once the alert has been answered.
  std::vector<std::string> busEnv = {
      "DBUS_SESSION_BUS_ADDRESS=" + trimmed(readFile(scratch() + "/bus")), "PATH=/usr/bin:/bin"};
  const pid_t asking =
      spawn({"gdbus", "call", "--session", "--dest", "com.talmiro.kestrova", "--object-path",
             "/com/talmiro/kestrova", "--method", "org.gtk.Actions.Activate", "quit", "[]", "{}"},
            busEnv);
  ASSERT_GT(asking, 0);
  const json asked = app.waitForState([](const json& s) { return !s["alerts"].empty(); },
                                      std::chrono::seconds(10));
  ASSERT_FALSE(asked["alerts"].empty());
  EXPECT_EQ(asked["alerts"][0]["message"], "Quit Kestrova?");
  EXPECT_EQ(asked["alerts"][0]["buttons"], json({"Quit", "Cancel"}));

  // The engine changes state; with the alert open for more than two poll periods, the menu
  // must not learn of it.
  ASSERT_NO_FATAL_FAILURE(setMediaFolder());
  std::this_thread::sleep_for(std::chrono::seconds(12));
  EXPECT_EQ(firstTitle(app.state()), "Kestrova — Setup needed") << "a poll ran under the alert";

  // Escape answers Cancel: the program stays, and the held poll runs at once.
  std::vector<std::string> xEnv = app.env();
  ASSERT_EQ(runToEnd({"sh", "-c",
                      "w=$(xdotool search --onlyvisible --name '^Kestrova$' | tail -1) && "
                      "xdotool windowfocus --sync \"$w\" key Escape"},
                     xEnv),
            0);
  int status = 0;
  EXPECT_TRUE(waitUntil([&] { return waitpid(asking, &status, WNOHANG) == asking; },
                        std::chrono::seconds(10)));
  const json after = app.waitForState(
      [](const json& s) {
        return s["alerts"].empty() && firstTitle(s) != "Kestrova — Setup needed";
      },
      std::chrono::seconds(10));
  EXPECT_TRUE(after["alerts"].empty());
  EXPECT_NE(firstTitle(after), "Kestrova — Setup needed");
  EXPECT_TRUE(processExists(app.appPid()));
}

TEST_F(GtkFrontend, QuitEndsTheProgramCleanlyAndLeavesNoChildBehind) {
  RunningApp app(test_.sandbox.home(), scratch());
  ASSERT_TRUE(app.activate("openDashboard") ||
              waitUntil([&] { return app.activate("openDashboard"); }, std::chrono::seconds(20)));
  (void)app.waitForState(
      [](const json& s) {
        return !s["webWindows"].empty() && s["webWindows"][0]["finishedLoads"] >= 1;
      },
      std::chrono::seconds(30));
  const pid_t pid = app.appPid();
  const std::set<pid_t> children = descendantsOf(pid);
  EXPECT_FALSE(children.empty()) << "the web view runs its page in helper processes";

  // The main menu's Quit: no confirmation.
  ASSERT_TRUE(app.activate("terminate"));
  EXPECT_EQ(app.waitExit(std::chrono::seconds(20)), 0);
  for (const pid_t child : children) {
    EXPECT_TRUE(waitUntil([&] { return !processExists(child); }, std::chrono::seconds(10)))
        << "process " << child << " outlived the program";
  }
  // Quitting leaves the engine to its agent.
  EXPECT_EQ(runToEnd({"curl", "-sf", "-o", "/dev/null", dashboardUrl() + "api/status"},
                     {"PATH=/usr/bin:/bin"}),
            0);
}

}  // namespace
}  // namespace kestrova
