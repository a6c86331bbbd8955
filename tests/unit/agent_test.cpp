// The agent's rules against a scripted launchctl: the property-list text, the program choice,
// the refusals, the load attempts and their waits, stop, and what counts as stale. The agent
// system test proves the same operations against real processes.
#include "app/engine/agent.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/support/launchctl_lines.h"
#include "tests/support/scripted_runner.h"
#include "tests/support/test_platform.h"

namespace kestrova::testing {
namespace {

namespace fs = std::filesystem;

const ShellResult kIoError{5, "Bootstrap failed: 5: Input/output error\n"};
const std::string kNoStart = "The background service would not start.";

class AgentTest : public ::testing::Test {
 protected:
  // Python candidates live in a sandbox of their own, so each case decides which of them exist.
  Sandbox pythons;
  ScriptedRunner runner;
  TestPlatform env{Tools{.pythonCandidates = {python(1), python(2), python(3), python(4)}},
                   &runner};

  AgentTest() { runner.answer(kBootout, kOk); }

  [[nodiscard]] std::string bootstrapLine() const {
    return kLaunchctl + " bootstrap gui/501 " + env.sandbox.path(kAgentFile);
  }
  [[nodiscard]] std::string python(int n) const { return pythons.path(std::to_string(n)); }
  [[nodiscard]] std::string probeLine(int n) const { return python(n) + " -c print('ok')"; }
  void makeExecutable(const std::string& path) const {
    env.sandbox.write(path, "#!/bin/sh\n", fs::perms(0755));
  }
  // A copy of the app outside Applications; with `engine` it carries the bundled engine.
  std::string placeBundle(bool engine, bool allowAnywhere) {
    env.host.bundle = env.sandbox.path("Copy/Kestrova.app");
    env.host.resources = env.host.bundle + "/Contents/Resources";
    fs::remove_all(*env.host.resources);
    fs::create_directories(*env.host.resources + "/engine");
    if (engine) makeExecutable(*env.host.resources + "/engine/runtime/kestrova-engine");
    env.host.env.erase("KESTROVA_ALLOW_ANYWHERE");
    if (allowAnywhere) env.host.env["KESTROVA_ALLOW_ANYWHERE"] = "1";
    return *env.host.resources;
  }
};

// The escaping, the argument round trip and the resources folder are the agent system test's and
// the property-list fuzzer's; the restart policy, the log files and the fallback are only here.
TEST_F(AgentTest, PropertyListRestartPolicyAndResourcesFallback) {
  env.host.resources = std::nullopt;
  const std::string text = Agent::plist({});
  for (const char* part : {"<key>RunAtLoad</key><true/>\n  <key>KeepAlive</key><true/>\n"
                           "  <key>ThrottleInterval</key><integer>10</integer>",
                           "/logs/agent.out</string>\n  <key>StandardErrorPath</key><string>/",
                           "<key>KESTROVA_RESOURCES</key><string>./engine</string>"}) {
    EXPECT_NE(text.find(part), std::string::npos) << part;
  }
}

// The bundled engine when this copy has one (no Python probed), else the script under Python;
// the file writable by its owner only, whatever the umask, or launchd refuses it.
TEST_F(AgentTest, InstallWritesTheBundledEngineOrElseTheScriptUnderPython) {
  const std::string resources = placeBundle(false, true);
  // The first candidate present that prints ok and succeeds: 1 absent, 2 says no, 3 fails.
  for (const int n : {2, 3, 4}) makeExecutable(python(n));
  runner.answer(probeLine(2), {0, "nope"});
  runner.answer(probeLine(3), {1, "ok\n"});
  runner.answer(probeLine(4), {0, "ok\n"});
  runner.answer(kPrint, {kUnknownService, kOk, kUnknownService, kOk});
  runner.answer(bootstrapLine(), kOk);
  EXPECT_EQ(Agent::install(), std::nullopt);
  EXPECT_EQ(env.sandbox.read(kAgentFile), Agent::plist({"/usr/bin/caffeinate", "-is", python(4),
                                                        resources + "/engine/kestrova.py"}));

  makeExecutable(resources + "/engine/runtime/kestrova-engine");
  const mode_t previous = ::umask(0);
  EXPECT_EQ(Agent::install(), std::nullopt);
  ::umask(previous);
  EXPECT_EQ(fs::status(env.sandbox.path(kAgentFile)).permissions(), fs::perms(0644));
  // Probed for the first install only; the system test shows the engine chosen. A probe and a
  // launchctl call each get half a minute: a slow first run of Python is no missing Python.
  EXPECT_EQ(runner.countStartingWith(python(4)), 1U);
  EXPECT_EQ(std::pair(runner.limitOf(python(4)), runner.limitOf(kPrint)), std::pair(30.0, 30.0));
}

// Refusals leave launchd alone and write nothing, though the two folders are already made.
TEST_F(AgentTest, RefusalsComePythonFirstThenLocationThenAFailedWrite) {
  const std::string pythonMessage =
      "Kestrova needs Python, which this Mac doesn't have yet.\n\nOpen Terminal and run:    "
      "xcode-select --install\n\nAccept the prompt, wait for it to finish, then open Kestrova "
      "again.";
  placeBundle(false, false);
  EXPECT_EQ(Agent::install(), pythonMessage);
  EXPECT_TRUE(env.sandbox.exists("Library/Application Support/Kestrova/logs"));
  EXPECT_TRUE(env.sandbox.exists("Library/LaunchAgents"));
  const std::string location = "Kestrova is running from " + env.sandbox.path("Copy/Kestrova.app") +
                               ". Please drag it to the Applications folder first, then open it "
                               "from there.";
  placeBundle(true, false);
  EXPECT_EQ(Agent::install(), location);
  EXPECT_FALSE(env.sandbox.exists(kAgentFile));

  placeBundle(true, true);
  fs::create_directories(env.sandbox.path(kAgentFile + "/occupied"));
  EXPECT_EQ(Agent::install(), "Could not write the startup file: Is a directory");
  EXPECT_EQ(runner.countStartingWith(kLaunchctl), 0U);
}

// The messages for three refusals (the last output quoted, or none) are the controller tests'.
TEST_F(AgentTest, LoadAttemptsAndTheirWaits) {
  placeBundle(true, true);
  const ShellResult &no = kUnknownService, &yes = kOk;
  const std::string p20(20, 'p');
  std::vector<ShellResult> shownTwentyTimes(20, yes);  // then gone for good
  shownTwentyTimes.push_back(no);
  const struct {
    std::vector<ShellResult> prints, bootstraps;
    std::optional<std::string> result;
    std::string calls;
    double slept;
  } cases[] = {
      {{no, yes}, {yes}, {}, "bpBp", 0},          // a responsive launchd: no pause at all
      {{yes, no, yes}, {yes}, {}, "bppBp", .15},  // loaded before: gone first, then loaded
      {{no, no, yes}, {{5, "x already bootstrapped"}}, {}, "bpBpp", .15},  // waited for
      {{no, yes}, {kIoError}, {}, "bpBBBp", 1},  // refused three times, yet there after all
      {shownTwentyTimes, {yes}, kNoStart, "b" + p20 + "B" + p20 + "B" + p20 + "B" + p20 + "p", 13},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.calls);
    ScriptedRunner script;
    TestPlatform local{Tools{}, &script};
    local.host.env["KESTROVA_ALLOW_ANYWHERE"] = "1";
    local.host.resources = env.host.resources;
    script.answer(kBootout, kOk);
    script.answer(kPrint, c.prints);
    script.answer(kLaunchctl + " bootstrap gui/501 " + local.sandbox.path(kAgentFile),
                  c.bootstraps);
    EXPECT_EQ(Agent::install(), c.result);
    std::string spelled;  // b bootout, p print, B bootstrap: nothing else is run
    for (const auto& call : script.calls())
      spelled += call == kPrint ? 'p' : call == kBootout ? 'b' : 'B';
    EXPECT_EQ(spelled, c.calls);
    EXPECT_NEAR(local.host.sleptSeconds(), c.slept, 1e-9);
  }
}

// What the installed file names, against this copy's engine; launchd is never asked.
TEST_F(AgentTest, StaleMeansTheReadableFileDoesNotNameThisCopysEngine) {
  const std::string resources = placeBundle(false, false);
  const std::string engine = resources + "/engine/runtime/kestrova-engine";
  const std::string script = resources + "/engine/kestrova.py";
  const std::string other = "/Applications/Old/K.app/Contents/Resources/engine/kestrova.py";
  // Each case: whether this copy's engine exists, the file's text (none: no file), stale.
  for (const auto& [engineExists, file, stale] :
       {std::tuple<bool, std::optional<std::string>, bool>{true, std::nullopt, false},
        {true, "<!-- anything -->" + engine + " around it", false},
        {true, other, true},
        {true, script, true},
        {false, script, false},
        {false, engine, true},
        {true, other + "\xff", false}}) {  // not UTF-8: unreadable, so left alone
    fs::remove(engine);
    if (engineExists) makeExecutable(engine);
    fs::remove(env.sandbox.path(kAgentFile));
    if (file) env.sandbox.write(kAgentFile, *file);
    EXPECT_EQ(Agent::isStale(), stale) << file.value_or("no file");
  }
  fs::remove(env.sandbox.path(kAgentFile));
  fs::create_directories(env.sandbox.path(kAgentFile));
  EXPECT_FALSE(Agent::isStale()) << "a folder where the file should be cannot be read";
  EXPECT_EQ(runner.countStartingWith(kLaunchctl), 0U);
}

// A stale file is repointed and said so in the system log, even when the reinstallation fails
// (what the user is told then is the controller tests').
TEST_F(AgentTest, RepairIsLoggedEvenWhenItFails) {
  const std::string resources = placeBundle(true, true);
  env.sandbox.write(kAgentFile, "<string>/Applications/Kestrova.app</string>");
  runner.answer(kPrint, kUnknownService);
  runner.answer(bootstrapLine(), kIoError);
  (void)Agent::repairIfStale();
  EXPECT_EQ(env.host.logLines(), std::vector<std::string>{"Kestrova: startup agent points "
                                                          "elsewhere \u2014 repointing to " +
                                                          resources + "/engine/kestrova.py"});
}

}  // namespace
}  // namespace kestrova::testing
