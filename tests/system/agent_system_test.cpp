// The agent end to end on Linux: the launchctl and caffeinate stand-ins, their supervisor and the
// stand-in engine, all real processes in a sandboxed home.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>

#include "app/engine/agent.h"
#include "app/engine/shell.h"
#include "app/engine/status_request.h"
#include "tests/support/standin_machine.h"

namespace kestrova::testing {
namespace {

const std::string kAgentFile = "Library/LaunchAgents/com.talmiro.kestrova.engine.plist";

class AgentSystemTest : public ::testing::Test, protected StandinMachine {
 protected:
  // Waits until an engine other than `old` answers, run from this copy; its pid.
  pid_t engineReplacing(pid_t old, double limitSeconds = 15) {
    std::optional<pid_t> now;
    EXPECT_TRUE(eventually([&] { return (now = enginePid()) && *now != old && engineAnswers(); },
                           limitSeconds));
    EXPECT_FALSE(processRunning(old));
    EXPECT_EQ(executableOf(now.value_or(0)),
              *env.host.resources + "/engine/runtime/kestrova-engine");
    return now.value_or(0);
  }
  pid_t install(pid_t old = 0) {
    EXPECT_EQ(Agent::install(), std::nullopt);
    return engineReplacing(old);
  }
};

// The whole life of the agent as the menu drives it, from a copy whose path the file must escape
// (and still recognise as its own), each step checked against the processes.
TEST_F(AgentSystemTest, InstallRestartReinstallStopPowerCutLoginAndUninstall) {
  useCopy(placeCopy("R&D <Apps>"));
  pid_t engine = install();
  EXPECT_TRUE(Agent::isLoaded());
  EXPECT_FALSE(Agent::isStale());
  EXPECT_FALSE(Agent::repairIfStale().attempted);
  // The engine was told where its resources are, and its output went to the log folder.
  EXPECT_NE(env.sandbox.read("Library/Application Support/Kestrova/logs/stream.log")
                .find("resources " + *env.host.resources + "/engine"),
            std::string::npos);
  EXPECT_TRUE(env.sandbox.exists("Library/Application Support/Kestrova/logs/agent.out"));

  Agent::restart();
  engine = engineReplacing(engine);
  engine = install(engine);  // over a loaded service: its engine is replaced too

  // Stopping finishes within the agent's wait even right after a poll left an idle connection open.
  bool polled = false;
  requestStatus([&](const StatusReport&) { polled = true; });
  ASSERT_TRUE(env.loop.runUntil([&] { return polled; }, std::chrono::seconds(5)));
  EXPECT_TRUE(Agent::stop());
  EXPECT_FALSE(Agent::isLoaded());
  EXPECT_FALSE(engineAnswers());
  EXPECT_FALSE(processRunning(engine));
  EXPECT_TRUE(env.sandbox.exists(kAgentFile));
  engine = install();

  // A power cut ends everything; the next login loads the agent from its file again.
  EXPECT_EQ(shell(launchctl(), {"x-power-cut"}).status, 0);
  EXPECT_FALSE(Agent::isLoaded());
  EXPECT_FALSE(processRunning(engine));
  EXPECT_EQ(shell(launchctl(), {"x-login-replay", "gui/" + std::to_string(env.host.uid)}).status,
            0);
  EXPECT_TRUE(Agent::isLoaded());
  engine = engineReplacing(engine);

  Agent::uninstall();
  EXPECT_FALSE(env.sandbox.exists(kAgentFile));
  ASSERT_TRUE(eventually([&] { return !Agent::isLoaded(); }));
  EXPECT_FALSE(processRunning(engine));
  EXPECT_FALSE(engineAnswers());
}

// Another copy finds the agent stale and repoints it; a killed engine comes back after the
// throttle (10 s, counted from the previous start).
TEST_F(AgentSystemTest, AnotherCopyRepointsTheAgentAndAKilledEngineComesBackAfterTheThrottle) {
  (void)install();
  useCopy(placeCopy("Elsewhere"));
  EXPECT_TRUE(Agent::isStale());
  EXPECT_TRUE(Agent::repairIfStale().attempted);
  EXPECT_FALSE(Agent::isStale());
  const pid_t engine = engineReplacing(0);

  ::kill(engine, SIGKILL);
  (void)engineReplacing(engine, 25);
  EXPECT_NE(shell(launchctl(), {"print", service()}).output.find("runs = 2"), std::string::npos);
}

}  // namespace
}  // namespace kestrova::testing
