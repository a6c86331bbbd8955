// The agent end to end on Linux: the launchctl and caffeinate stand-ins, their supervisor and the
// stand-in engine, all real processes in a sandboxed home.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>

#include "app/engine/agent.h"
#include "app/engine/shell.h"
#include "tests/support/standin_machine.h"

namespace kestrova::testing {
namespace {

const std::string kAgentFile = "Library/LaunchAgents/com.talmiro.kestrova.engine.plist";

class AgentSystemTest : public ::testing::Test, protected StandinMachine {
 protected:
  // Installs and waits for the engine to answer; its pid.
  pid_t installAndAnswer() {
    EXPECT_EQ(Agent::install(), std::nullopt);
    EXPECT_TRUE(eventually([&] { return engineAnswers(); }));
    const auto engine = enginePid();
    EXPECT_TRUE(engine);
    return engine.value_or(0);
  }
  // Waits until another engine process than `old` answers; its pid.
  pid_t replacementOf(pid_t old, double limitSeconds = 15) {
    std::optional<pid_t> now;
    EXPECT_TRUE(eventually([&] { return (now = enginePid()) && *now != old && engineAnswers(); },
                           limitSeconds));
    EXPECT_FALSE(processRunning(old));
    return now.value_or(0);
  }
};

// The whole life of the agent as the menu drives it, each step checked against the processes.
TEST_F(AgentSystemTest, InstallRestartStopInstallAgainAndUninstall) {
  pid_t engine = installAndAnswer();
  EXPECT_TRUE(Agent::isLoaded());
  EXPECT_FALSE(Agent::isStale());
  EXPECT_EQ(executableOf(engine), *env.host.resources + "/engine/runtime/kestrova-engine");
  // The engine was told where its resources are, and its output went to the log folder.
  EXPECT_NE(env.sandbox.read("Library/Application Support/Kestrova/logs/stream.log")
                .find("resources " + *env.host.resources + "/engine"),
            std::string::npos);
  EXPECT_TRUE(env.sandbox.exists("Library/Application Support/Kestrova/logs/agent.out"));

  Agent::restart();
  engine = replacementOf(engine);

  // Installing over a loaded service replaces its engine too.
  const pid_t reinstalled = installAndAnswer();
  EXPECT_NE(reinstalled, engine);
  EXPECT_FALSE(processRunning(engine));

  EXPECT_TRUE(Agent::stop());
  EXPECT_FALSE(Agent::isLoaded());
  EXPECT_FALSE(engineAnswers());
  EXPECT_FALSE(processRunning(reinstalled));
  EXPECT_TRUE(env.sandbox.exists(kAgentFile));

  engine = installAndAnswer();
  EXPECT_TRUE(Agent::isLoaded());

  Agent::uninstall();
  EXPECT_FALSE(env.sandbox.exists(kAgentFile));
  ASSERT_TRUE(eventually([&] { return !Agent::isLoaded(); }));
  EXPECT_FALSE(processRunning(engine));
  EXPECT_FALSE(engineAnswers());
}

TEST_F(AgentSystemTest, AnotherCopyFindsTheAgentStaleAndRepointsIt) {
  const std::string first = env.host.bundle;
  (void)installAndAnswer();
  const std::string second = placeCopy("Elsewhere");
  useCopy(second);
  EXPECT_TRUE(Agent::isStale());

  EXPECT_TRUE(Agent::repairIfStale().attempted);
  EXPECT_FALSE(Agent::isStale());
  ASSERT_TRUE(eventually([&] { return engineAnswers(); }));
  const auto engine = enginePid();
  ASSERT_TRUE(engine);
  EXPECT_EQ(executableOf(*engine), second + "/Contents/Resources/engine/runtime/kestrova-engine");
  ASSERT_EQ(env.host.logLines().size(), 1U);

  useCopy(first);
  EXPECT_TRUE(Agent::isStale());
}

// The file holds the path escaped; its own copy must still recognise it.
TEST_F(AgentSystemTest, AResourcesPathWithAnAmpersandWorksAndIsNotStale) {
  useCopy(placeCopy("R&D <Apps>"));
  const pid_t engine = installAndAnswer();
  EXPECT_FALSE(Agent::isStale());
  EXPECT_FALSE(Agent::repairIfStale().attempted);
  EXPECT_EQ(executableOf(engine), *env.host.resources + "/engine/runtime/kestrova-engine");
}

TEST_F(AgentSystemTest, AKilledEngineIsStartedAgainAfterTheThrottle) {
  const pid_t engine = installAndAnswer();
  ::kill(engine, SIGKILL);
  // The written ThrottleInterval is 10 s, counted from the previous start.
  (void)replacementOf(engine, 25);
  const ShellResult printed = shell(launchctl(), {"print", service()});
  EXPECT_NE(printed.output.find("runs = 2"), std::string::npos) << printed.output;
}

TEST_F(AgentSystemTest, APowerCutAndTheNextLoginBringTheEngineBack) {
  const pid_t engine = installAndAnswer();

  const ShellResult cut = shell(launchctl(), {"x-power-cut"});
  EXPECT_EQ(cut.status, 0) << cut.output;
  EXPECT_FALSE(Agent::isLoaded());
  EXPECT_FALSE(processRunning(engine));
  EXPECT_FALSE(engineAnswers());
  EXPECT_TRUE(env.sandbox.exists(kAgentFile));

  const ShellResult login =
      shell(launchctl(), {"x-login-replay", "gui/" + std::to_string(env.host.uid)});
  EXPECT_EQ(login.status, 0) << login.output;
  EXPECT_TRUE(Agent::isLoaded());
  EXPECT_TRUE(eventually([&] { return engineAnswers(); }));
}

}  // namespace
}  // namespace kestrova::testing
