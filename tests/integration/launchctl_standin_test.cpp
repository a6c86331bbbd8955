// The launchctl stand-in and its supervisor as real processes in a sandboxed home: refusals,
// the service table as print shows it, what the supervisor does with a program (environment,
// output files, process group, KeepAlive and its throttle, kickstart), power cut and login.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/engine/shell.h"
#include "app/engine/xml_text.h"
#include "tests/support/real_processes.h"
#include "tests/support/test_platform.h"

namespace kestrova {
namespace {

using kestrova::testing::eventually;

using testing::TestPlatform;

const std::string kDomain = "gui/501";

// Running: a killed orphan may stay a zombie where init does not reap.
bool running(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (pid <= 0 || !std::getline(stat, line)) {
    return false;
  }
  const auto close = line.rfind(") ");
  return close != std::string::npos && line[close + 2] != 'Z';
}

struct Agent {
  std::string label;
  std::string script;  // run by /bin/sh -c
  std::string extraKeys;
};

class LaunchctlStandinTest : public ::testing::Test {
 protected:
  TestPlatform test{testing::standinTools()};
  std::string tool = testing::standinTools().launchctl;

  ~LaunchctlStandinTest() override { launchctl({"x-power-cut"}); }

  // Runs the stand-in with the sandbox as its home, as the app's children would see it.
  ShellResult launchctl(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"HOME=" + test.sandbox.home(), tool});
    return shell("/usr/bin/env", arguments);
  }

  std::string path(const std::string& relative) const { return test.sandbox.path(relative); }
  std::string read(const std::string& relative) const { return test.sandbox.read(relative); }

  // Writes an agent file (mode 0644) into ~/Library/LaunchAgents and returns its path.
  std::string writeAgent(const Agent& agent, const std::string& keys = "") {
    const std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
        "  <key>Label</key><string>" + agent.label + "</string>\n"
        "  <key>ProgramArguments</key>\n  <array>\n    <string>/bin/sh</string>\n"
        "    <string>-c</string>\n    <string>" + xmlEscaped(agent.script) + "</string>\n"
        "  </array>\n" + agent.extraKeys + keys + "</dict>\n</plist>";
    return writeFile("Library/LaunchAgents/" + agent.label + ".plist", text);
  }
  std::string writeFile(const std::string& relative, const std::string& text) {
    const std::string written = test.sandbox.write(relative, text);
    ::chmod(written.c_str(), 0644);
    return written;
  }

  ShellResult print(const std::string& label) { return launchctl({"print", kDomain + "/" + label}); }
  bool loaded(const std::string& label) { return print(label).status == 0; }
  pid_t pidOf(const std::string& label) {
    const std::string text = print(label).output;
    const auto at = text.find("\tpid = ");
    return at == std::string::npos ? 0 : static_cast<pid_t>(std::stol(text.substr(at + 7)));
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

const std::string kRunForever = "exec sleep 1000";
const std::string kRunning = "  <key>RunAtLoad</key><true/>\n";

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
      {"group-writable",
       head + "<key>Label</key><string>x</string><key>Program</key><string>/bin/true</string>"
              "</dict></plist>",
       0664, "dubious permissions"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = writeFile("Library/LaunchAgents/x.plist", c.text);
    ::chmod(file.c_str(), c.mode);
    const ShellResult result = launchctl({"bootstrap", kDomain, file});
    EXPECT_EQ(result.status, 5);
    EXPECT_NE(result.output.find("Bootstrap failed: 5: Input/output error"), std::string::npos);
    EXPECT_NE(result.output.find(c.reason), std::string::npos) << result.output;
    EXPECT_FALSE(loaded("x"));
  }
  const ShellResult missing = launchctl({"bootstrap", kDomain, path("nowhere.plist")});
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
  const std::string logs = path("logs");
  std::filesystem::create_directories(logs);
  writeFile("logs/out.txt", "earlier line\n");
  const std::string file = writeAgent(
      {"com.example.hello", "echo \"$GREETING from $$ in $(pwd)\"; echo oops >&2; " + kRunForever,
       kRunning + "  <key>StandardOutPath</key><string>" + logs + "/out.txt</string>\n"
                  "  <key>StandardErrorPath</key><string>" + logs + "/err.txt</string>\n"
                  "  <key>EnvironmentVariables</key><dict><key>GREETING</key>"
                  "<string>fish &amp; chips</string></dict>\n"});

  // The shell reads launchctl's output to its end: the supervisor must not hold it open.
  EXPECT_EQ(launchctl({"bootstrap", kDomain, file}), (ShellResult{0, ""}));
  const ShellResult printed = print("com.example.hello");
  EXPECT_EQ(printed.status, 0);
  EXPECT_NE(printed.output.find("state = running"), std::string::npos) << printed.output;
  const pid_t pid = pidOf("com.example.hello");
  ASSERT_TRUE(running(pid));
  ASSERT_TRUE(eventually([&] { return lines("logs/out.txt").size() == 2; }));
  EXPECT_EQ(lines("logs/out.txt"),
            (std::vector<std::string>{"earlier line",
                                      "fish & chips from " + std::to_string(pid) + " in /"}));
  ASSERT_TRUE(eventually([&] { return read("logs/err.txt") == "oops\n"; }));

  const ShellResult again = launchctl({"bootstrap", kDomain, file});
  EXPECT_NE(again.status, 0);
  EXPECT_NE(again.output.find("already bootstrapped"), std::string::npos) << again.output;
}

TEST_F(LaunchctlStandinTest, BootoutEndsTheWholeProcessGroupThenForgetsTheService) {
  const std::string file = writeAgent(
      {"com.example.group", "sleep 1000 & echo $! > \"$HOME/helper.pid\"; wait", kRunning});
  ASSERT_EQ(launchctl({"bootstrap", kDomain, file}).status, 0);
  const pid_t leader = pidOf("com.example.group");
  ASSERT_TRUE(eventually([&] { return !read("helper.pid").empty(); }));
  const pid_t helper = static_cast<pid_t>(std::stol(read("helper.pid")));
  ASSERT_TRUE(running(helper));

  EXPECT_EQ(launchctl({"bootout", kDomain + "/com.example.group"}), (ShellResult{0, ""}));
  ASSERT_TRUE(eventually([&] { return !loaded("com.example.group"); }));
  EXPECT_FALSE(running(leader));
  EXPECT_FALSE(running(helper));
  EXPECT_NE(launchctl({"bootout", kDomain + "/com.example.group"}).status, 0);
}

TEST_F(LaunchctlStandinTest, AProgramThatIgnoresSigtermIsKilledAfterItsExitTimeout) {
  const std::string file = writeAgent(
      {"com.example.stubborn", "trap '' TERM; echo ready > \"$HOME/ready\"; while :; do sleep 0.05; done",
       kRunning + "  <key>ExitTimeOut</key><integer>1</integer>\n"});
  ASSERT_EQ(launchctl({"bootstrap", kDomain, file}).status, 0);
  const pid_t pid = pidOf("com.example.stubborn");
  ASSERT_TRUE(eventually([&] { return read("ready") == "ready\n"; }));

  ASSERT_EQ(launchctl({"bootout", kDomain + "/com.example.stubborn"}).status, 0);
  // Until it is gone, a new bootstrap is told the old one is still on its way out.
  const ShellResult meanwhile = launchctl({"bootstrap", kDomain, file});
  if (loaded("com.example.stubborn")) {
    EXPECT_EQ(meanwhile.status, 37) << meanwhile.output;
  }
  ASSERT_TRUE(eventually([&] { return !loaded("com.example.stubborn"); }));
  EXPECT_FALSE(running(pid));
}

TEST_F(LaunchctlStandinTest, KeepAliveRestartsNoSoonerThanTheThrottle) {
  const std::string file = writeAgent(
      {"com.example.flaky", "date +%s.%N >> \"$HOME/starts\"; exit 3",
       "  <key>KeepAlive</key><true/>\n  <key>ThrottleInterval</key><integer>1</integer>\n"});
  ASSERT_EQ(launchctl({"bootstrap", kDomain, file}).status, 0);
  ASSERT_TRUE(eventually([&] { return lines("starts").size() >= 3; }));
  EXPECT_NE(print("com.example.flaky").output.find("last exit code = 3"), std::string::npos);

  const auto starts = lines("starts");
  for (std::size_t i = 1; i < starts.size(); ++i) {
    // Wall-clock stamps of a monotonic schedule: a little slack for the clocks' difference.
    EXPECT_GE(std::stod(starts[i]) - std::stod(starts[i - 1]), 0.95) << i;
  }
}

TEST_F(LaunchctlStandinTest, KickstartStartsAnIdleServiceAndWithKReplacesTheRunningOne) {
  const std::string file =
      writeAgent({"com.example.idle", "echo start >> \"$HOME/starts\"; " + kRunForever, ""});
  ASSERT_EQ(launchctl({"bootstrap", kDomain, file}).status, 0);
  EXPECT_TRUE(loaded("com.example.idle"));
  EXPECT_EQ(pidOf("com.example.idle"), 0);  // neither RunAtLoad nor KeepAlive

  EXPECT_EQ(launchctl({"kickstart", kDomain + "/com.example.idle"}).status, 0);
  const pid_t first = pidOf("com.example.idle");
  EXPECT_TRUE(running(first));
  EXPECT_EQ(launchctl({"kickstart", kDomain + "/com.example.idle"}).status, 0);
  EXPECT_EQ(pidOf("com.example.idle"), first);  // already running: left alone

  const ShellResult restarted = launchctl({"kickstart", "-k", "-p", kDomain + "/com.example.idle"});
  EXPECT_EQ(restarted.status, 0);
  const pid_t second = pidOf("com.example.idle");
  EXPECT_NE(second, first);
  EXPECT_NE(restarted.output.find("service spawned with pid: " + std::to_string(second)),
            std::string::npos);
  EXPECT_TRUE(eventually([&] { return !running(first); }));
  EXPECT_TRUE(running(second));
}

TEST_F(LaunchctlStandinTest, APowerCutUnloadsEverythingAndTheLoginLoadsTheAgentsAgain) {
  writeAgent({"com.example.one", kRunForever, kRunning});
  writeAgent({"com.example.two", kRunForever, kRunning});
  writeFile("Library/LaunchAgents/broken.plist", "<plist>");
  writeFile("Library/LaunchAgents/.hidden.plist.tmp", "half written");
  ASSERT_EQ(launchctl({"bootstrap", kDomain, path("Library/LaunchAgents/com.example.one.plist")})
                .status,
            0);
  const pid_t one = pidOf("com.example.one");
  ASSERT_TRUE(running(one));

  EXPECT_EQ(launchctl({"x-power-cut"}).status, 0);
  EXPECT_FALSE(loaded("com.example.one"));
  EXPECT_FALSE(running(one));

  const ShellResult login = launchctl({"x-login-replay", kDomain});
  EXPECT_EQ(login.status, 0);
  EXPECT_NE(login.output.find("broken.plist"), std::string::npos) << login.output;
  EXPECT_EQ(login.output.find("hidden"), std::string::npos) << login.output;
  EXPECT_TRUE(running(pidOf("com.example.one")));
  EXPECT_TRUE(running(pidOf("com.example.two")));
  // A second login finds them loaded and leaves them be.
  const pid_t two = pidOf("com.example.two");
  EXPECT_EQ(launchctl({"x-login-replay", kDomain}).status, 0);
  EXPECT_EQ(pidOf("com.example.two"), two);
}

TEST_F(LaunchctlStandinTest, DomainsAreSeparate) {
  const std::string file = writeAgent({"com.example.mine", kRunForever, kRunning});
  ASSERT_EQ(launchctl({"bootstrap", kDomain, file}).status, 0);
  EXPECT_TRUE(loaded("com.example.mine"));
  EXPECT_EQ(launchctl({"print", "gui/502/com.example.mine"}).status, 113);
}

}  // namespace
}  // namespace kestrova
