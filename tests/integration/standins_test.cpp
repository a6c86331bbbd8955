// The launchctl stand-in, for what the app relies on from the real tool: its answers (113,
// "already bootstrapped", `pid =`) and the ending of the whole process group on bootout, which
// the agent's system test does not see. The agent's system test drives the rest end to end.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/engine/shell.h"
#include "tests/support/real_processes.h"
#include "tests/support/standin_machine.h"

namespace kestrova::testing {
namespace {

TEST(Standins, LaunchctlAnswersAsTheAgentExpectsAndBootoutEndsTheWholeGroup) {
  TestPlatform test{standinTools()};
  const std::string service = "gui/501/com.example.group";
  const auto launchctl = [&](std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"HOME=" + test.sandbox.home(), standinTools().launchctl});
    return shell("/usr/bin/env", arguments);
  };
  const std::shared_ptr<void> powerCut(nullptr, [&](void*) { (void)launchctl({"x-power-cut"}); });
  EXPECT_EQ(launchctl({"print", service}).status, 113);
  const std::string file = test.sandbox.write(
      "Library/LaunchAgents/com.example.group.plist",
      "<?xml version=\"1.0\"?>\n<plist version=\"1.0\"><dict><key>Label</key><string>"
      "com.example.group</string><key>ProgramArguments</key><array><string>/bin/sh</string>"
      "<string>-c</string><string>sleep 1000 &amp; echo $! &gt; \"$HOME/helper.pid\"; wait"
      "</string></array><key>RunAtLoad</key><true/></dict></plist>");
  ASSERT_EQ(launchctl({"bootstrap", "gui/501", file}), (ShellResult{0, ""}));
  const ShellResult again = launchctl({"bootstrap", "gui/501", file});
  EXPECT_NE(again.output.find("already bootstrapped"), std::string::npos) << again.output;
  const ShellResult printed = launchctl({"print", service});
  const auto at = printed.output.find("\tpid = ");
  ASSERT_NE(at, std::string::npos) << printed.output;
  const pid_t leader = std::stoi(printed.output.substr(at + 7));
  ASSERT_TRUE(eventually([&] { return !test.sandbox.read("helper.pid").empty(); }));
  const pid_t helper = std::stoi(test.sandbox.read("helper.pid"));
  ASSERT_TRUE(processRunning(leader) && processRunning(helper));
  EXPECT_EQ(launchctl({"bootout", service}), (ShellResult{0, ""}));
  EXPECT_TRUE(eventually([&] { return launchctl({"print", service}).status == 113; }));
  EXPECT_FALSE(processRunning(leader));
  EXPECT_FALSE(processRunning(helper));
}

}  // namespace
}  // namespace kestrova::testing
