// The stand-ins, for what the app relies on from the real tools only: launchctl's answers and
// its ending of the whole process group, security's statuses and -U, and the engine storing its
// password once. The agent's system test drives the rest end to end.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "app/engine/shell.h"
#include "tests/support/child_process.h"
#include "tests/support/real_processes.h"
#include "tests/support/standin_machine.h"

namespace kestrova::testing {
namespace {

const std::string kDomain = "gui/501";

class StandinsTest : public ::testing::Test {
 protected:
  ~StandinsTest() override { (void)tool(standinTools().launchctl, {"x-power-cut"}); }
  // Runs a stand-in with the sandbox as its home, as the app's children would see it.
  ShellResult tool(const std::string& path, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"HOME=" + test.sandbox.home(), path});
    return shell("/usr/bin/env", arguments);
  }
  ShellResult launchctl(const std::vector<std::string>& arguments) {
    return tool(standinTools().launchctl, arguments);
  }
  ShellResult print(const std::string& label) {
    return launchctl({"print", kDomain + "/" + label});
  }
  std::string agent(const std::string& label, const std::string& script, const std::string& keys) {
    return test.sandbox.write(
        "Library/LaunchAgents/" + label + ".plist",
        "<?xml version=\"1.0\"?>\n<plist version=\"1.0\"><dict><key>Label</key><string>" + label +
            "</string><key>ProgramArguments</key><array><string>/bin/sh</string><string>-c"
            "</string><string>" +
            script + "</string></array><key>RunAtLoad</key><true/>" + keys + "</dict></plist>",
        std::filesystem::perms(0644));
  }
  ShellResult security(const std::string& verb, std::vector<std::string> more = {}) {
    more.insert(more.begin(), {verb, "-s", "com.talmiro.kestrova", "-a", "password"});
    return tool(standinTools().security, more);
  }
  ShellResult find() { return security("find-generic-password", {"-w"}); }

  TestPlatform test{standinTools()};
};

TEST_F(StandinsTest, LaunchctlAnswersAsTheAgentExpectsAndBootoutEndsTheWholeGroup) {
  EXPECT_EQ(print("com.example.group").status, 113);
  const std::string file =
      agent("com.example.group", "sleep 1000 &amp; echo $! &gt; \"$HOME/helper.pid\"; wait", "");
  ASSERT_EQ(launchctl({"bootstrap", kDomain, file}), (ShellResult{0, ""}));
  const ShellResult again = launchctl({"bootstrap", kDomain, file});
  EXPECT_NE(again.output.find("already bootstrapped"), std::string::npos) << again.output;
  const auto leader = printedPid(print("com.example.group").output);
  ASSERT_TRUE(leader && processRunning(*leader));
  ASSERT_TRUE(eventually([&] { return !test.sandbox.read("helper.pid").empty(); }));
  const pid_t helper = std::stoi(test.sandbox.read("helper.pid"));
  ASSERT_TRUE(processRunning(helper));
  EXPECT_EQ(launchctl({"bootout", kDomain + "/com.example.group"}), (ShellResult{0, ""}));
  EXPECT_TRUE(eventually([&] { return print("com.example.group").status == 113; }));
  EXPECT_FALSE(processRunning(*leader));
  EXPECT_FALSE(processRunning(helper));
}

// A program that ignores SIGTERM is killed at its exit timeout; until then a new bootstrap is
// told the old one is still on its way out.
TEST_F(StandinsTest, ABootstrapWhileTheOldServiceIsStoppingAnswers37) {
  const std::string file =
      agent("com.example.stubborn",
            "trap '' TERM; echo ready &gt; \"$HOME/ready\"; while :; do sleep 0.05; done",
            "<key>ExitTimeOut</key><integer>3</integer>");
  ASSERT_EQ(launchctl({"bootstrap", kDomain, file}).status, 0);
  ASSERT_TRUE(eventually([&] { return test.sandbox.read("ready") == "ready\n"; }));
  ASSERT_EQ(launchctl({"bootout", kDomain + "/com.example.stubborn"}).status, 0);
  EXPECT_EQ(launchctl({"bootstrap", kDomain, file}).status, 37);
  EXPECT_TRUE(eventually([&] { return print("com.example.stubborn").status == 113; }));
}

TEST_F(StandinsTest, SecurityAnswers44And45AndUpdatesWithU) {
  EXPECT_EQ(find(), (ShellResult{44,
                                 "security: SecKeychainSearchCopyNext: The specified item "
                                 "could not be found in the keychain.\n"}));
  const std::string add = "add-generic-password";
  EXPECT_EQ(security(add, {"-w", "correct horse \"battery\""}), (ShellResult{0, ""}));
  EXPECT_EQ(find(), (ShellResult{0, "correct horse \"battery\"\n"}));
  EXPECT_EQ(security(add, {"-w", "other"}),
            (ShellResult{45,
                         "security: SecKeychainItemCreateFromContent (<default>): The specified "
                         "item already exists in the keychain.\n"}));
  EXPECT_EQ(security(add, {"-w", "staple", "-U"}), (ShellResult{0, ""}));
  EXPECT_EQ(find(), (ShellResult{0, "staple\n"}));
}

TEST_F(StandinsTest, TheEngineStoresARandomPasswordOnceForTheAppToShow) {
  const std::string log = "Library/Application Support/Kestrova/logs/stream.log";
  test.sandbox.write("Library/Application Support/Kestrova/config.json",
                     R"({"port": )" + std::to_string(freePort()) + "}");
  // The engine looks at the Keychain before it opens its port: once the log speaks of listening
  // (or of failing to), the password is settled.
  const auto runOnce = [&] {
    ChildProcess engine(
        {.argv = {KESTROVA_ENGINE_RUNTIME_DIR "/kestrova-engine"},
         .env = {"HOME=" + test.sandbox.home(),
                 "KESTROVA_RESOURCES=" KESTROVA_BUNDLE_DIR "/Contents/Resources/engine"}});
    ASSERT_TRUE(engine.started()) << engine.error();
    ASSERT_TRUE(
        eventually([&] { return test.sandbox.read(log).find("listen") != std::string::npos; }));
  };
  runOnce();
  const ShellResult first = find();
  ASSERT_EQ(first.status, 0) << test.sandbox.read(log);
  EXPECT_TRUE(std::regex_match(first.output, std::regex("([a-z2-9]{5}-){3}[a-z2-9]{5}\n")))
      << first.output;
  EXPECT_EQ(test.sandbox.read(log).find(first.output.substr(0, 23)), std::string::npos);
  runOnce();  // a later start keeps the password the user may already have typed
  EXPECT_EQ(find(), first);
}

}  // namespace
}  // namespace kestrova::testing
