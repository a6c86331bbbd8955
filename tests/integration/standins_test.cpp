// The stand-ins, for what the app relies on from the real tools: launchctl's strict reading,
// its answers (113, "already bootstrapped", `pid =`) and the ending of the whole process group on
// bootout, which the agent's system test does not see; security's 44, 45 and -U; the engine storing
// its password once. The agent's system test drives the rest end to end.
#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "app/engine/agent.h"
#include "app/engine/constants.h"
#include "app/engine/shell.h"
#include "tests/support/child_process.h"
#include "tests/support/real_processes.h"
#include "tests/support/standin_machine.h"

namespace kestrova::testing {
namespace {

// The agent's own file, for a copy whose path holds XML's characters and more than ASCII, loads
// with each argument as written; text a forgiving parser would take is refused as launchd does.
TEST(Standins, LaunchctlReadsTheAgentsFileStrictlyAnswersAsExpectedAndBootoutEndsTheGroup) {
  TestPlatform test{standinTools()};
  const std::string service = std::string("gui/501/") + kAgentLabel;
  const auto launchctl = [&](std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"HOME=" + test.sandbox.home(), standinTools().launchctl});
    return shell("/usr/bin/env", arguments);
  };
  const std::shared_ptr<void> powerCut(nullptr, [&](void*) { (void)launchctl({"x-power-cut"}); });
  EXPECT_EQ(launchctl({"print", service}).status, 113);
  const std::string odd = "/Applications/R&D <Apps> & \"Zo\u00eb\u2019s\"/Kestrova.app";
  const std::string text =
      Agent::plist({"/bin/sh", "-c", "sleep 1000 & echo $! > \"$HOME/helper.pid\"; wait", odd});
  for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
           {"R&amp;D", "R&D"}, {"Zo", "Z\x01o"}, {"Zo", "Z\xffo"}, {"</plist>", "</plist><x/>"}}) {
    std::string lenient = text;
    lenient.replace(text.find(from), from.size(), to);
    const auto refused = launchctl({"bootstrap", "gui/501", test.sandbox.write("x", lenient)});
    EXPECT_TRUE(refused.output.starts_with("Bootstrap failed: 5: Input/output error\n")) << to;
  }
  const std::string file = test.sandbox.write("Library/LaunchAgents/agent.plist", text);
  ASSERT_EQ(launchctl({"bootstrap", "gui/501", file}), (ShellResult{0, ""}));
  const ShellResult again = launchctl({"bootstrap", "gui/501", file});
  EXPECT_NE(again.output.find("already bootstrapped"), std::string::npos) << again.output;
  const ShellResult printed = launchctl({"print", service});
  EXPECT_NE(printed.output.find("\t\t" + odd + "\n\t}"), std::string::npos) << printed.output;
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
  test.sandbox.write(kConfigFile, R"({"port": )" + std::to_string(freePort()) + "}");
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
