// The stand-ins, for what the app relies on from the real tools: launchctl's answers (113,
// "already bootstrapped", `pid =`) and the ending of the whole process group on bootout, which
// the agent's system test does not see; security's 44, 45 and -U; the engine storing its password
// once. The agent's system test drives the rest end to end.
#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "app/engine/shell.h"
#include "tests/support/child_process.h"
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

TEST(Standins, SecurityAnswers44And45AndUpdatesWithUAndTheEngineStoresItsPasswordOnce) {
  TestPlatform test{standinTools()};
  const auto security = [&](const std::string& verb, std::vector<std::string> more) {
    more.insert(more.begin(), {"HOME=" + test.sandbox.home(), standinTools().security, verb, "-s",
                               "com.talmiro.kestrova", "-a", "password"});
    return shell("/usr/bin/env", more);
  };
  const auto find = [&] { return security("find-generic-password", {"-w"}); };
  EXPECT_EQ(find().status, 44);
  EXPECT_EQ(security("add-generic-password", {"-w", "pass \"word\""}), (ShellResult{0, ""}));
  EXPECT_EQ(security("add-generic-password", {"-w", "other"}).status, 45);
  EXPECT_EQ(find(), (ShellResult{0, "pass \"word\"\n"}));
  EXPECT_EQ(security("add-generic-password", {"-w", "staple", "-U"}), (ShellResult{0, ""}));
  EXPECT_EQ(find(), (ShellResult{0, "staple\n"}));

  // The engine keeps a password it finds and makes one only where there is none.
  const std::string log = "Library/Application Support/Kestrova/logs/stream.log";
  test.sandbox.write("Library/Application Support/Kestrova/config.json",
                     R"({"port": )" + std::to_string(freePort()) + "}");
  for (const bool keep : {true, false}) {
    if (!keep) (void)security("delete-generic-password", {});
    std::filesystem::remove(test.sandbox.path(log));
    ChildProcess engine(
        {.argv = {KESTROVA_ENGINE_RUNTIME_DIR "/kestrova-engine"},
         .env = {"HOME=" + test.sandbox.home(), "KESTROVA_STANDINS_DIR=" KESTROVA_STANDINS_DIR}});
    // The Keychain is settled before the port opens.
    ASSERT_TRUE(
        eventually([&] { return test.sandbox.read(log).find("listen") != std::string::npos; }));
    const ShellResult found = find();
    EXPECT_TRUE(keep ? found.output == "staple\n"
                     : std::regex_match(found.output, std::regex("([a-z2-9]{5}-){3}[a-z2-9]{5}\n")))
        << found.output;
  }
}

}  // namespace
}  // namespace kestrova::testing
