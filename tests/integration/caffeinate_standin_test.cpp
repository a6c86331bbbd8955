// The caffeinate stand-in: runs its command as a child, passes ending signals on, and exits with
// the command's status.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/engine/shell.h"
#include "tests/support/real_processes.h"
#include "tests/support/test_platform.h"

extern char** environ;

namespace kestrova {
namespace {

class CaffeinateStandinTest : public ::testing::Test {
 protected:
  testing::TestPlatform test{testing::standinTools()};
  std::string tool = testing::standinTools().caffeinate;
};

TEST_F(CaffeinateStandinTest, ExitsWithTheCommandsStatusAndOutput) {
  struct Case {
    std::vector<std::string> arguments;
    ShellResult expected;
  };
  const std::vector<Case> cases = {
      {{"-is", "/bin/sh", "-c", "echo hello; exit 7"}, {7, "hello\n"}},
      {{"-is", "/bin/sh", "-c", "kill -9 $$"}, {137, ""}},
      {{"-is", "--", "/bin/echo", "-n", "x"}, {0, "x"}},
      {{"-x", "/bin/true"},
       {1, "usage: caffeinate [-disu] [-t timeout] [-w pid] [utility arguments...]\n"}},
      {{"-is", "/nonexistent/tool"},
       {127, "caffeinate: /nonexistent/tool: No such file or directory\n"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.back());
    EXPECT_EQ(shell(tool, c.arguments), c.expected);
  }
}

// launchd's bootout signals caffeinate; the engine below it must hear of it and shut down.
TEST_F(CaffeinateStandinTest, PassesSigtermOnToTheCommand) {
  const std::string ready = test.sandbox.path("ready");
  const std::string script = "trap 'echo TERM > \"" + test.sandbox.path("caught") +
                             "\"; exit 5' TERM; echo > \"" + ready +
                             "\"; while :; do sleep 0.05; done";
  std::vector<std::string> arguments = {tool, "-is", "/bin/sh", "-c", script};
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, tool.c_str(), nullptr, nullptr, argv.data(), environ), 0);
  ASSERT_TRUE(testing::eventually([&] { return std::filesystem::exists(ready); }, 5));

  ::kill(pid, SIGTERM);  // to caffeinate alone, not its group
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 5);
  EXPECT_EQ(test.sandbox.read("caught"), "TERM\n");
}

}  // namespace
}  // namespace kestrova
