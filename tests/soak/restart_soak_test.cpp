// The engine's survival under launchd, for minutes on end: the stand-in engine killed twenty times
// in a row comes back every time, never before the throttle allows, and after a power cut the
// next login brings it back on air. Real launchctl and caffeinate stand-ins, the supervisor and
// the stand-in engine, all in a sandboxed home; a power cut of the sandbox ends everything.
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/engine/agent.h"
#include "app/engine/shell.h"
#include "app/engine/status_request.h"
#include "tests/support/real_processes.h"
#include "tests/support/scoped_env.h"
#include "tests/support/test_platform.h"

namespace kestrova::testing {
namespace {

namespace fs = std::filesystem;

// The agent's written ThrottleInterval: the least time between two starts of the engine.
constexpr double kThrottleSeconds = 10;
// Process start times count in clock ticks (1/100 s here); two roundings can cost one tick each.
constexpr double kStartTimeSlack = 0.02;

// The program launchd runs (the caffeinate guard) and the engine below it.
struct Running {
  pid_t guard = 0;
  pid_t engine = 0;
  double startedAt = 0;  // the guard's start, seconds since boot
};

class RestartSoak : public ::testing::Test {
 protected:
  TestPlatform env{standinTools()};
  ScopedEnv home{"HOME", env.sandbox.home()};
  int port = freePort();

  RestartSoak() {
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

  ~RestartSoak() override {
    // A supervisor left behind would keep running after the test.
    shell(launchctl(), {"x-power-cut"});
  }

  [[nodiscard]] static std::string launchctl() { return standinTools().launchctl; }
  [[nodiscard]] static std::string domain() { return "gui/" + std::to_string(::getuid()); }

  [[nodiscard]] bool engineAnswers() const {
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(1);
    client.set_read_timeout(2);
    const auto reply = client.Get("/api/status");
    return reply && reply->status == 200;
  }

  [[nodiscard]] static double startedAt(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(") ");
    if (close == std::string::npos) return -1;
    // Fields after the command name start at field 3; the start time is field 22.
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
    }
    return std::stod(field) / static_cast<double>(::sysconf(_SC_CLK_TCK));
  }

  [[nodiscard]] std::optional<Running> running() const {
    const ShellResult printed =
        shell(launchctl(), {"print", domain() + "/com.talmiro.kestrova.engine"});
    const auto at = printed.output.find("\tpid = ");
    if (printed.status != 0 || at == std::string::npos) return std::nullopt;
    Running now;
    now.guard = static_cast<pid_t>(std::stol(printed.output.substr(at + 7)));
    std::ifstream children("/proc/" + std::to_string(now.guard) + "/task/" +
                           std::to_string(now.guard) + "/children");
    if (!(children >> now.engine) || now.engine <= 0) return std::nullopt;
    now.startedAt = startedAt(now.guard);
    return now;
  }

  // The app's own view: one status request through the test platform.
  [[nodiscard]] EngineStatus appStatus() {
    std::optional<EngineStatus> status;
    requestStatus([&](const StatusReport& report) { status = report.status; });
    env.loop.runUntil([&] { return status.has_value(); }, std::chrono::seconds(10));
    return status.value_or(EngineStatus::offline);
  }
};

TEST_F(RestartSoak, TheEngineKilledTwentyTimesComesBackEachTimeAfterTheThrottle) {
  ASSERT_EQ(Agent::install(), std::nullopt);
  ASSERT_TRUE(eventually([&] { return engineAnswers(); }));
  auto previous = running();
  ASSERT_TRUE(previous);

  std::vector<double> gaps;
  for (int kill = 1; kill <= 20; ++kill) {
    SCOPED_TRACE("kill " + std::to_string(kill));
    ASSERT_EQ(::kill(previous->engine, SIGKILL), 0);
    std::optional<Running> next;
    // A bound on the wait, well beyond the throttle; the start times below are what count.
    ASSERT_TRUE(eventually(
        [&] {
          next = running();
          return next && next->engine != previous->engine && engineAnswers();
        },
        4 * kThrottleSeconds));
    const double gap = next->startedAt - previous->startedAt;
    EXPECT_GE(gap, kThrottleSeconds - kStartTimeSlack);
    gaps.push_back(gap);
    previous = next;
  }
  const ShellResult printed =
      shell(launchctl(), {"print", domain() + "/com.talmiro.kestrova.engine"});
  EXPECT_NE(printed.output.find("runs = 21"), std::string::npos) << printed.output;
  std::printf("  20 restarts: start-to-start %.2f s at the least, %.2f s at the most\n",
              *std::min_element(gaps.begin(), gaps.end()),
              *std::max_element(gaps.begin(), gaps.end()));
}

TEST_F(RestartSoak, APowerCutAndTheNextLoginBringTheEngineBackOnAir) {
  ASSERT_EQ(Agent::install(), std::nullopt);
  ASSERT_TRUE(eventually([&] { return engineAnswers(); }));
  for (const char* name : {"harbour-dawn.mp4", "night-ferry.mov", "notes.txt"}) {
    env.sandbox.write(std::string("Movies/Station/") + name, "not really a video");
  }
  httplib::Client client("127.0.0.1", port);
  const std::string folder = env.sandbox.path("Movies/Station");
  const auto chosen =
      client.Post("/api/setup/folder", "{\"path\": \"" + folder + "\"}", "application/json");
  ASSERT_TRUE(chosen);
  EXPECT_NE(chosen->body.find("\"video_count\":2"), std::string::npos) << chosen->body;
  ASSERT_EQ(appStatus(), EngineStatus::onAir);

  const ShellResult cut = shell(launchctl(), {"x-power-cut"});
  ASSERT_EQ(cut.status, 0) << cut.output;
  EXPECT_EQ(appStatus(), EngineStatus::offline);

  const ShellResult login = shell(launchctl(), {"x-login-replay", domain()});
  ASSERT_EQ(login.status, 0) << login.output;
  EXPECT_TRUE(eventually([&] { return appStatus() == EngineStatus::onAir; }));
}

}  // namespace
}  // namespace kestrova::testing
