// The agent end to end on Linux: the launchctl and caffeinate stand-ins, their supervisor and the
// stand-in engine, all real processes in a sandboxed home.
#include <gtest/gtest.h>

#include <string>

#include "app/engine/agent.h"
#include "app/engine/shell.h"
#include "app/engine/status_request.h"
#include "tests/support/standin_machine.h"

namespace kestrova::testing {
namespace {

class AgentSystemTest : public ::testing::Test, protected StandinMachine {
 protected:
  // Waits until an engine other than `old` answers, run from this copy; its pid.
  pid_t engineReplacing(pid_t old) {
    std::optional<pid_t> now;
    EXPECT_TRUE(
        eventually([&] { return (now = enginePid()) && *now != old && engineAnswers(); }, 15));
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
  EXPECT_FALSE(Agent::isStale()) << "the file names this copy's engine, escaped";

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

}  // namespace
}  // namespace kestrova::testing
