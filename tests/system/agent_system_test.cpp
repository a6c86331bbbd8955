// The agent end to end on Linux: the launchctl and caffeinate stand-ins, their supervisor and the
// stand-in engine, all real processes in a sandboxed home. Each test ends every process it
// started with a power cut of the sandbox.
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "app/engine/agent.h"
#include "app/engine/shell.h"
#include "tests/support/real_processes.h"
#include "tests/support/test_platform.h"

namespace kestrova::testing {
namespace {

namespace fs = std::filesystem;

const std::string kAgentFile = "Library/LaunchAgents/com.talmiro.kestrova.engine.plist";

class AgentSystemTest : public ::testing::Test {
 protected:
  TestPlatform env{standinTools()};
  HomeForChildren home{env.sandbox.home()};
  int port = freePort();

  AgentSystemTest() {
    env.host.realSleeps = true;
    env.host.uid = ::getuid();
    env.host.env["KESTROVA_ALLOW_ANYWHERE"] = "1";
    env.sandbox.write("Library/Application Support/Kestrova/config.json",
                      "{\"port\": " + std::to_string(port) + "}");
    useCopy(placeCopy("Apps"));
  }

  ~AgentSystemTest() override {
    // Nothing this test started may outlive it.
    shell(launchctl(), {"x-power-cut"});
  }

  // A copy of the built bundle's resources (engine and stand-ins) below the sandbox.
  std::string placeCopy(const std::string& folder) {
    const std::string bundle = env.sandbox.path(folder + "/Kestrova.app");
    fs::create_directories(bundle + "/Contents");
    fs::copy(std::string(KESTROVA_BUNDLE_DIR) + "/Contents/Resources", bundle + "/Contents/Resources",
             fs::copy_options::recursive);
    return bundle;
  }
  void useCopy(const std::string& bundle) {
    env.host.bundle = bundle;
    env.host.resources = bundle + "/Contents/Resources";
  }

  [[nodiscard]] static std::string launchctl() { return standinTools().launchctl; }
  [[nodiscard]] std::string service() const {
    return "gui/" + std::to_string(::getuid()) + "/com.talmiro.kestrova.engine";
  }

  [[nodiscard]] bool engineAnswers() const {
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(1);
    client.set_read_timeout(2);
    const auto reply = client.Get("/api/status");
    return reply && reply->status == 200;
  }

  // The engine process: the child of the caffeinate the supervisor runs.
  [[nodiscard]] std::optional<pid_t> enginePid() const {
    const ShellResult printed = shell(launchctl(), {"print", service()});
    const auto at = printed.output.find("\tpid = ");
    if (printed.status != 0 || at == std::string::npos) {
      return std::nullopt;
    }
    const pid_t guard = static_cast<pid_t>(std::stol(printed.output.substr(at + 7)));
    std::ifstream children("/proc/" + std::to_string(guard) + "/task/" + std::to_string(guard) +
                           "/children");
    pid_t engine = 0;
    if (children >> engine && engine > 0) {
      return engine;
    }
    return std::nullopt;
  }

  [[nodiscard]] static std::string executableOf(pid_t pid) {
    std::error_code error;
    return fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", error).string();
  }
  // Running, that is: a killed process whose parent is gone may linger as a zombie where the
  // init process does not reap orphans.
  [[nodiscard]] static bool processExists(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
      return false;
    }
    const auto close = line.rfind(") ");
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
  }

  void installAndAnswer() {
    ASSERT_EQ(Agent::install(), std::nullopt);
    ASSERT_TRUE(eventually([&] { return engineAnswers(); }));
  }
};

TEST_F(AgentSystemTest, InstallRunsTheEngineAndRestartReplacesItsProcess) {
  installAndAnswer();
  EXPECT_TRUE(Agent::isLoaded());
  EXPECT_FALSE(Agent::isStale());
  const auto first = enginePid();
  ASSERT_TRUE(first);
  EXPECT_EQ(executableOf(*first),
            *env.host.resources + "/engine/runtime/kestrova-engine");

  Agent::restart();
  ASSERT_TRUE(eventually([&] {
    const auto now = enginePid();
    return now && *now != *first && engineAnswers();
  }));
  EXPECT_FALSE(processExists(*first));
  // The engine was told where its resources are, and its output went to the log folder.
  const std::string streamLog =
      env.sandbox.read("Library/Application Support/Kestrova/logs/stream.log");
  EXPECT_NE(streamLog.find("resources " + *env.host.resources + "/engine"), std::string::npos);
  EXPECT_TRUE(env.sandbox.exists("Library/Application Support/Kestrova/logs/agent.out"));
}

TEST_F(AgentSystemTest, StopClosesThePortAndKeepsTheFileAndInstallBringsItBack) {
  installAndAnswer();
  const auto engine = enginePid();
  ASSERT_TRUE(engine);

  EXPECT_TRUE(Agent::stop());
  EXPECT_FALSE(Agent::isLoaded());
  EXPECT_FALSE(engineAnswers());
  EXPECT_FALSE(processExists(*engine));
  EXPECT_TRUE(env.sandbox.exists(kAgentFile));

  installAndAnswer();
  EXPECT_TRUE(Agent::isLoaded());
}

TEST_F(AgentSystemTest, InstallOverALoadedServiceReplacesTheEngine) {
  installAndAnswer();
  const auto first = enginePid();
  ASSERT_TRUE(first);
  installAndAnswer();
  const auto second = enginePid();
  ASSERT_TRUE(second);
  EXPECT_NE(*first, *second);
  EXPECT_FALSE(processExists(*first));
}

TEST_F(AgentSystemTest, UninstallRemovesTheFileAndLeavesNothingRunning) {
  installAndAnswer();
  const auto engine = enginePid();
  ASSERT_TRUE(engine);

  Agent::uninstall();
  EXPECT_FALSE(env.sandbox.exists(kAgentFile));
  ASSERT_TRUE(eventually([&] { return !Agent::isLoaded(); }));
  EXPECT_FALSE(processExists(*engine));
  EXPECT_FALSE(engineAnswers());
}

TEST_F(AgentSystemTest, AnotherCopyFindsTheAgentStaleAndRepointsIt) {
  const std::string first = env.host.bundle;
  installAndAnswer();
  const std::string second = placeCopy("Elsewhere");
  useCopy(second);
  EXPECT_TRUE(Agent::isStale());

  EXPECT_TRUE(Agent::repairIfStale());
  EXPECT_FALSE(Agent::isStale());
  ASSERT_TRUE(eventually([&] { return engineAnswers(); }));
  const auto engine = enginePid();
  ASSERT_TRUE(engine);
  EXPECT_EQ(executableOf(*engine), second + "/Contents/Resources/engine/runtime/kestrova-engine");
  ASSERT_EQ(env.host.logLines().size(), 1U);

  useCopy(first);
  EXPECT_TRUE(Agent::isStale());
}

TEST_F(AgentSystemTest, AResourcesPathWithAnAmpersandWorksAndIsNotStale) {
  useCopy(placeCopy("R&D <Apps>"));
  installAndAnswer();
  EXPECT_FALSE(Agent::isStale());
  EXPECT_FALSE(Agent::repairIfStale());
  const auto engine = enginePid();
  ASSERT_TRUE(engine);
  EXPECT_EQ(executableOf(*engine), *env.host.resources + "/engine/runtime/kestrova-engine");
}

TEST_F(AgentSystemTest, AKilledEngineIsStartedAgainAfterTheThrottle) {
  installAndAnswer();
  const auto engine = enginePid();
  ASSERT_TRUE(engine);

  ::kill(*engine, SIGKILL);
  // The written ThrottleInterval is 10 s, counted from the previous start.
  ASSERT_TRUE(eventually(
      [&] {
        const auto now = enginePid();
        return now && *now != *engine && engineAnswers();
      },
      25));
  const ShellResult printed = shell(launchctl(), {"print", service()});
  EXPECT_NE(printed.output.find("runs = 2"), std::string::npos) << printed.output;
}

TEST_F(AgentSystemTest, APowerCutAndTheNextLoginBringTheEngineBack) {
  installAndAnswer();
  const auto engine = enginePid();
  ASSERT_TRUE(engine);

  const ShellResult cut = shell(launchctl(), {"x-power-cut"});
  EXPECT_EQ(cut.status, 0) << cut.output;
  EXPECT_FALSE(Agent::isLoaded());
  EXPECT_FALSE(processExists(*engine));
  EXPECT_FALSE(engineAnswers());
  EXPECT_TRUE(env.sandbox.exists(kAgentFile));

  const ShellResult login =
      shell(launchctl(), {"x-login-replay", "gui/" + std::to_string(::getuid())});
  EXPECT_EQ(login.status, 0) << login.output;
  EXPECT_TRUE(Agent::isLoaded());
  EXPECT_TRUE(eventually([&] { return engineAnswers(); }));
}

}  // namespace
}  // namespace kestrova::testing
