// The launchctl stand-in and its supervisor as real processes in a sandboxed home: refusals,
// the service table as print shows it, what the supervisor does with a program (environment,
// output files, process group, exit timeout, KeepAlive and its throttle), power cut and login.
// Kickstart -k is exercised end to end by the agent's system test (restart).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/engine/shell.h"
#include "app/engine/xml_text.h"
#include "tests/support/standin_machine.h"

namespace kestrova {
namespace {

using testing::eventually;
using testing::processRunning;

const std::string kDomain = "gui/501";
const std::string kRunForever = "exec sleep 1000";
const std::string kRunAtLoad = "  <key>RunAtLoad</key><true/>\n";

class LaunchctlStandinTest : public ::testing::Test {
 protected:
  testing::TestPlatform test{testing::standinTools()};

  ~LaunchctlStandinTest() override { launchctl({"x-power-cut"}); }

  // Runs the stand-in with the sandbox as its home, as the app's children would see it.
  ShellResult launchctl(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(),
                     {"HOME=" + test.sandbox.home(), testing::standinTools().launchctl});
    return shell("/usr/bin/env", arguments);
  }
  std::string read(const std::string& relative) const { return test.sandbox.read(relative); }

  // Writes an agent file (mode 0644) running `script` under /bin/sh -c; returns its path.
  std::string writeAgent(const std::string& label, const std::string& script,
                         const std::string& keys) {
    return writeFile("Library/LaunchAgents/" + label + ".plist",
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
                     "  <key>Label</key><string>" +
                         label +
                         "</string>\n"
                         "  <key>ProgramArguments</key>\n  <array>\n    <string>/bin/sh</string>\n"
                         "    <string>-c</string>\n    <string>" +
                         xmlEscaped(script) +
                         "</string>\n"
                         "  </array>\n" +
                         keys + "</dict>\n</plist>");
  }
  std::string writeFile(const std::string& relative, const std::string& text) {
    const std::string written = test.sandbox.write(relative, text);
    ::chmod(written.c_str(), 0644);
    return written;
  }
  ShellResult bootstrap(const std::string& file) { return launchctl({"bootstrap", kDomain, file}); }
  ShellResult print(const std::string& label) {
    return launchctl({"print", kDomain + "/" + label});
  }
  bool loaded(const std::string& label) { return print(label).status == 0; }
  pid_t pidOf(const std::string& label) {
    return testing::printedPid(print(label).output).value_or(0);
  }
  std::vector<std::string> lines(const std::string& relative) {
    std::istringstream in(read(relative));
    std::vector<std::string> all;
    for (std::string line; std::getline(in, line);) {
      all.push_back(line);
    }
    return all;
  }
};

TEST_F(LaunchctlStandinTest, MalformedOrUnsafeAgentFilesAreRefused) {
  struct Case {
    const char* name;
    std::string text;
    mode_t mode;
    std::string reason;
  };
  const std::string head = "<?xml version=\"1.0\"?>\n<plist version=\"1.0\"><dict>";
  const std::vector<Case> cases = {
      {"not XML", head + "<key>Label</key><string>x</string>", 0644, "not a property list"},
      {"no plist element", "<?xml version=\"1.0\"?><dict/>", 0644, "no <plist><dict>"},
      {"no label", head + "<key>Program</key><string>/bin/true</string></dict></plist>", 0644,
       "no Label"},
      {"no program", head + "<key>Label</key><string>x</string></dict></plist>", 0644,
       "neither Program nor ProgramArguments"},
      {"argument not a string",
       head + "<key>Label</key><string>x</string><key>ProgramArguments</key><array>"
              "<integer>1</integer></array></dict></plist>",
       0644, "ProgramArguments may hold strings only"},
      {"key without value", head + "<key>Label</key></dict></plist>", 0644, "has no value"},
      // launchd refuses an agent file others may write.
      {"group-writable",
       head + "<key>Label</key><string>x</string><key>Program</key><string>/bin/true</string>"
              "</dict></plist>",
       0664, "dubious permissions"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = writeFile("Library/LaunchAgents/x.plist", c.text);
    ::chmod(file.c_str(), c.mode);
    const ShellResult result = bootstrap(file);
    EXPECT_EQ(result.status, 5);
    EXPECT_NE(result.output.find("Bootstrap failed: 5: Input/output error"), std::string::npos);
    EXPECT_NE(result.output.find(c.reason), std::string::npos) << result.output;
    EXPECT_FALSE(loaded("x"));
  }
  const ShellResult missing = bootstrap(test.sandbox.path("nowhere.plist"));
  EXPECT_EQ(missing.status, 5);
  EXPECT_NE(missing.output.find("No such file or directory"), std::string::npos);
}

TEST_F(LaunchctlStandinTest, UnknownServicesAndTargetsAnswerLikeTheRealTool) {
  const ShellResult printed = print("com.example.none");
  EXPECT_EQ(printed.status, 113);
  EXPECT_NE(printed.output.find("Could not find service \"com.example.none\" in domain for"),
            std::string::npos);
  EXPECT_NE(launchctl({"bootout", kDomain + "/com.example.none"}).status, 0);
  EXPECT_EQ(launchctl({"kickstart", "-k", kDomain + "/com.example.none"}).status, 113);
  EXPECT_NE(launchctl({"print", "user/501/x"}).status, 0);
  EXPECT_NE(launchctl({"frobnicate"}).status, 0);
}

TEST_F(LaunchctlStandinTest, RunsTheProgramWithItsEnvironmentAndOutputFiles) {
  const std::string logs = test.sandbox.path("logs");
  writeFile("logs/out.txt", "earlier line\n");
  const std::string file = writeAgent(
      "com.example.hello", "echo \"$GREETING from $$ in $(pwd)\"; echo oops >&2; " + kRunForever,
      kRunAtLoad + "  <key>StandardOutPath</key><string>" + logs +
          "/out.txt</string>\n"
          "  <key>StandardErrorPath</key><string>" +
          logs +
          "/err.txt</string>\n"
          "  <key>EnvironmentVariables</key><dict><key>GREETING</key>"
          "<string>fish &amp; chips</string></dict>\n");

  // The shell reads launchctl's output to its end: the supervisor must not hold it open.
  EXPECT_EQ(bootstrap(file), (ShellResult{0, ""}));
  const ShellResult printed = print("com.example.hello");
  EXPECT_EQ(printed.status, 0);
  EXPECT_NE(printed.output.find("state = running"), std::string::npos) << printed.output;
  const pid_t pid = pidOf("com.example.hello");
  ASSERT_TRUE(processRunning(pid));
  ASSERT_TRUE(eventually([&] { return lines("logs/out.txt").size() == 2; }));
  EXPECT_EQ(lines("logs/out.txt"),
            (std::vector<std::string>{"earlier line",
                                      "fish & chips from " + std::to_string(pid) + " in /"}));
  ASSERT_TRUE(eventually([&] { return read("logs/err.txt") == "oops\n"; }));

  const ShellResult again = bootstrap(file);
  EXPECT_NE(again.status, 0);
  EXPECT_NE(again.output.find("already bootstrapped"), std::string::npos) << again.output;
  // Another user's domain does not see it.
  EXPECT_EQ(launchctl({"print", "gui/502/com.example.hello"}).status, 113);
}

TEST_F(LaunchctlStandinTest, BootoutEndsTheWholeProcessGroupThenForgetsTheService) {
  const std::string file = writeAgent(
      "com.example.group", "sleep 1000 & echo $! > \"$HOME/helper.pid\"; wait", kRunAtLoad);
  ASSERT_EQ(bootstrap(file).status, 0);
  const pid_t leader = pidOf("com.example.group");
  ASSERT_TRUE(eventually([&] { return !read("helper.pid").empty(); }));
  const pid_t helper = static_cast<pid_t>(std::stol(read("helper.pid")));
  ASSERT_TRUE(processRunning(helper));

  EXPECT_EQ(launchctl({"bootout", kDomain + "/com.example.group"}), (ShellResult{0, ""}));
  ASSERT_TRUE(eventually([&] { return !loaded("com.example.group"); }));
  EXPECT_FALSE(processRunning(leader));
  EXPECT_FALSE(processRunning(helper));
  EXPECT_NE(launchctl({"bootout", kDomain + "/com.example.group"}).status, 0);
}

TEST_F(LaunchctlStandinTest, AProgramThatIgnoresSigtermIsKilledAfterItsExitTimeout) {
  const std::string file =
      writeAgent("com.example.stubborn",
                 "trap '' TERM; echo ready > \"$HOME/ready\"; while :; do sleep 0.05; done",
                 kRunAtLoad + "  <key>ExitTimeOut</key><integer>1</integer>\n");
  ASSERT_EQ(bootstrap(file).status, 0);
  const pid_t pid = pidOf("com.example.stubborn");
  ASSERT_TRUE(eventually([&] { return read("ready") == "ready\n"; }));

  ASSERT_EQ(launchctl({"bootout", kDomain + "/com.example.stubborn"}).status, 0);
  // Until it is gone, a new bootstrap is told the old one is still on its way out.
  const ShellResult meanwhile = bootstrap(file);
  if (loaded("com.example.stubborn")) {
    EXPECT_EQ(meanwhile.status, 37) << meanwhile.output;
  }
  ASSERT_TRUE(eventually([&] { return !loaded("com.example.stubborn"); }));
  EXPECT_FALSE(processRunning(pid));
}

TEST_F(LaunchctlStandinTest, KeepAliveRestartsNoSoonerThanTheThrottle) {
  const std::string file = writeAgent(
      "com.example.flaky", "date +%s.%N >> \"$HOME/starts\"; exit 3",
      "  <key>KeepAlive</key><true/>\n  <key>ThrottleInterval</key><integer>1</integer>\n");
  ASSERT_EQ(bootstrap(file).status, 0);
  ASSERT_TRUE(eventually([&] { return lines("starts").size() >= 3; }));
  EXPECT_NE(print("com.example.flaky").output.find("last exit code = 3"), std::string::npos);

  const auto starts = lines("starts");
  for (std::size_t i = 1; i < starts.size(); ++i) {
    // Wall-clock stamps of a monotonic schedule: a little slack for the clocks' difference.
    EXPECT_GE(std::stod(starts[i]) - std::stod(starts[i - 1]), 0.95) << i;
  }
}

TEST_F(LaunchctlStandinTest, APowerCutUnloadsEverythingAndTheLoginLoadsTheAgentsAgain) {
  const std::string one = writeAgent("com.example.one", kRunForever, kRunAtLoad);
  writeAgent("com.example.two", kRunForever, kRunAtLoad);
  writeFile("Library/LaunchAgents/broken.plist", "<plist>");
  // A temporary file of an atomic write in progress is not an agent.
  writeFile("Library/LaunchAgents/.hidden.plist.tmp", "half written");
  ASSERT_EQ(bootstrap(one).status, 0);
  const pid_t first = pidOf("com.example.one");
  ASSERT_TRUE(processRunning(first));

  EXPECT_EQ(launchctl({"x-power-cut"}).status, 0);
  EXPECT_FALSE(loaded("com.example.one"));
  EXPECT_FALSE(processRunning(first));

  const ShellResult login = launchctl({"x-login-replay", kDomain});
  EXPECT_EQ(login.status, 0);
  EXPECT_NE(login.output.find("broken.plist"), std::string::npos) << login.output;
  EXPECT_EQ(login.output.find("hidden"), std::string::npos) << login.output;
  EXPECT_TRUE(processRunning(pidOf("com.example.one")));
  EXPECT_TRUE(processRunning(pidOf("com.example.two")));
  // A second login finds them loaded and leaves them be.
  const pid_t two = pidOf("com.example.two");
  EXPECT_EQ(launchctl({"x-login-replay", kDomain}).status, 0);
  EXPECT_EQ(pidOf("com.example.two"), two);
}

}  // namespace
}  // namespace kestrova
