// The agent against a scripted launchctl: property-list text, program choice, messages, the load
// attempts and their waits, stop, and stale-file detection and repair.
#include "app/engine/agent.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/launchctl_lines.h"
#include "tests/support/scripted_runner.h"
#include "tests/support/test_platform.h"

namespace kestrova {
namespace {

using testing::Sandbox;
using testing::ScriptedRunner;
using testing::TestPlatform;

using testing::kBootout;
using testing::kLaunchctl;
using testing::kPrint;
using testing::kService;
const ShellResult kFound{0, kService + " = {\n\tstate = running\n}\n"};
const ShellResult kMissing{113,
                           "Bad request.\nCould not find service \"com.talmiro.kestrova.engine\" "
                           "in domain for user gui: 501\n"};
const ShellResult kSuccess{0, ""};
const ShellResult kIoError{5, "Bootstrap failed: 5: Input/output error\n"};
const ShellResult kAlready{
    5, "Bootstrap failed: 5: Input/output error\nservice already bootstrapped\n"};
const std::string kBareStartMessage = "The background service would not start.";
const std::string kPythonMessage =
    "Kestrova needs Python, which this Mac doesn't have yet.\n\nOpen Terminal and run:    "
    "xcode-select --install\n\nAccept the prompt, wait for it to finish, then open Kestrova again.";

void makeExecutable(const std::string& path) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path) << "#!/bin/sh\n";
  ::chmod(path.c_str(), 0755);
}

std::vector<ShellResult> concat(std::vector<std::vector<ShellResult>> parts) {
  std::vector<ShellResult> all;
  for (auto& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

// Python candidates live in a folder of their own, so each test decides which of them exist.
Tools toolsWithPythons(const Sandbox& folder) {
  Tools tools;
  tools.pythonCandidates = {folder.path("p1/python3"), folder.path("p2/python3"),
                            folder.path("p3/python3"), folder.path("p4/python3")};
  return tools;
}

class AgentTest : public ::testing::Test {
 protected:
  Sandbox pythons;
  ScriptedRunner runner;
  TestPlatform env{toolsWithPythons(pythons), &runner};

  AgentTest() { runner.answer(kBootout, kSuccess); }

  [[nodiscard]] std::string home() const { return env.sandbox.home(); }
  [[nodiscard]] std::string plistPath() const {
    return home() + "/Library/LaunchAgents/com.talmiro.kestrova.engine.plist";
  }
  [[nodiscard]] std::string bootstrapLine() const {
    return kLaunchctl + " bootstrap gui/501 " + plistPath();
  }
  [[nodiscard]] std::string python(int n) const {
    return pythons.path("p" + std::to_string(n) + "/python3");
  }
  [[nodiscard]] std::string probeLine(int n) const { return python(n) + " -c print('ok')"; }

  // A copy of the app under the sandbox; with `executable` the bundled engine program exists.
  std::string placeBundle(const std::string& folder, bool executable) {
    const std::string bundle = env.sandbox.path(folder + "/Kestrova.app");
    env.host.bundle = bundle;
    env.host.resources = bundle + "/Contents/Resources";
    std::filesystem::create_directories(*env.host.resources + "/engine");
    if (executable) {
      makeExecutable(*env.host.resources + "/engine/runtime/kestrova-engine");
    }
    return *env.host.resources;
  }
  std::string placeAllowedBundle() {
    env.host.env["KESTROVA_ALLOW_ANYWHERE"] = "1";
    return placeBundle("Copy", true);
  }
  [[nodiscard]] std::size_t launchctlCalls() const {
    return runner.countStartingWith(kLaunchctl + " ");
  }
};

TEST_F(AgentTest, PropertyListTextForTheBundledEngine) {
  const std::string logs = home() + "/Library/Application Support/Kestrova/logs";
  const std::string resources = "/Applications/Kestrova.app/Contents/Resources";
  const std::string expected =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\">\n"
      "<dict>\n"
      "  <key>Label</key><string>com.talmiro.kestrova.engine</string>\n"
      "  <key>ProgramArguments</key>\n"
      "  <array>\n"
      "    <string>/usr/bin/caffeinate</string>\n"
      "    <string>-is</string>\n"
      "    <string>" +
      resources +
      "/engine/runtime/kestrova-engine</string>\n"
      "  </array>\n"
      "  <key>RunAtLoad</key><true/>\n"
      "  <key>KeepAlive</key><true/>\n"
      "  <key>ThrottleInterval</key><integer>10</integer>\n"
      "  <key>StandardOutPath</key><string>" +
      logs +
      "/agent.out</string>\n"
      "  <key>StandardErrorPath</key><string>" +
      logs +
      "/agent.err</string>\n"
      "  <key>EnvironmentVariables</key>\n"
      "  <dict>\n"
      "    <key>KESTROVA_RESOURCES</key><string>" +
      resources +
      "/engine</string>\n"
      "  </dict>\n"
      "</dict>\n"
      "</plist>";
  EXPECT_EQ(
      Agent::plist({"/usr/bin/caffeinate", "-is", resources + "/engine/runtime/kestrova-engine"}),
      expected);
}

TEST_F(AgentTest, PropertyListEscapesEveryValue) {
  env.host.resources = "/Volumes/R&D <new>/Kestrova.app/Contents/Resources";
  const std::string text = Agent::plist({"a&b", "<x>", "plain"});
  EXPECT_NE(text.find("    <string>a&amp;b</string>\n    <string>&lt;x&gt;</string>\n"
                      "    <string>plain</string>\n"),
            std::string::npos);
  EXPECT_NE(text.find("<key>KESTROVA_RESOURCES</key><string>/Volumes/R&amp;D &lt;new&gt;/"
                      "Kestrova.app/Contents/Resources/engine</string>"),
            std::string::npos);
  EXPECT_EQ(text.find("R&D"), std::string::npos);
  // Without a resources folder the engine is told the current one.
  env.host.resources = std::nullopt;
  EXPECT_NE(Agent::plist({}).find("<key>KESTROVA_RESOURCES</key><string>./engine</string>"),
            std::string::npos);
}

// Which Python candidates exist and how their probes answer, and what is chosen.
struct PythonCase {
  const char* name;
  std::vector<int> present;                         // candidates that exist and are executable
  std::vector<std::pair<int, ShellResult>> probes;  // how each present candidate answers
  std::optional<int> chosen;
  std::vector<int> probed;  // in order
};

TEST_F(AgentTest, WorkingPythonTriesCandidatesInOrderAndSkipsFailures) {
  const std::vector<PythonCase> cases = {
      {"first passes", {1, 2}, {{1, {0, "ok\n"}}, {2, {0, "ok\n"}}}, 1, {1}},
      {"missing ones are not run", {3}, {{3, {0, "ok\n"}}}, 3, {3}},
      {"non-zero exit is skipped", {1, 2}, {{1, {1, "ok\n"}}, {2, {0, "ok"}}}, 2, {1, 2}},
      {"output without ok is skipped", {1, 4}, {{1, {0, "nope"}}, {4, {0, "ok"}}}, 4, {1, 4}},
      {"launch failure is skipped",
       {2, 3},
       {{2, {-1, "launch failed: Exec format error"}}, {3, {0, "ok"}}},
       3,
       {2, 3}},
      {"none passes",
       {1, 2, 3, 4},
       {{1, {1, ""}}, {2, {0, "no"}}, {3, {127, ""}}, {4, {0, ""}}},
       std::nullopt,
       {1, 2, 3, 4}},
      {"none exists", {}, {}, std::nullopt, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(pythons.home());
    std::filesystem::create_directories(pythons.home());
    ScriptedRunner probes;
    TestPlatform local{toolsWithPythons(pythons), &probes};
    for (int n : c.present) {
      makeExecutable(python(n));
    }
    for (const auto& [n, result] : c.probes) {
      probes.answer(probeLine(n), result);
    }
    const auto found = Agent::workingPython();
    EXPECT_EQ(found, c.chosen ? std::optional(python(*c.chosen)) : std::nullopt);
    std::vector<std::string> expectedCalls;
    for (int n : c.probed) {
      expectedCalls.push_back(probeLine(n));
    }
    EXPECT_EQ(probes.calls(), expectedCalls);
  }
}

// The bundled engine when this copy has one (no Python probed), else the script under Python.
TEST_F(AgentTest, TheProgramIsTheBundledEngineOrElseTheScriptUnderTheWorkingPython) {
  const std::string resources = placeAllowedBundle();
  std::filesystem::remove(resources + "/engine/runtime/kestrova-engine");
  makeExecutable(python(2));
  runner.answer(probeLine(2), {0, "ok\n"});
  runner.answer(kPrint, {kMissing, kFound, kMissing, kFound});
  runner.answer(bootstrapLine(), kSuccess);
  // A file already there is always replaced, and left readable by all, writable by its owner
  // only (launchd refuses one others may write).
  const std::string path =
      env.sandbox.write("Library/LaunchAgents/com.talmiro.kestrova.engine.plist", "old contents");
  ::chmod(path.c_str(), 0666);
  EXPECT_EQ(Agent::install(), std::nullopt);
  EXPECT_EQ(
      env.sandbox.read("Library/LaunchAgents/com.talmiro.kestrova.engine.plist"),
      Agent::plist({"/usr/bin/caffeinate", "-is", python(2), resources + "/engine/kestrova.py"}));
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0644U);
  // Nothing but the agent file is left in the folder.
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                          std::filesystem::directory_iterator()),
            1);

  makeExecutable(resources + "/engine/runtime/kestrova-engine");
  runner.clearCalls();
  EXPECT_EQ(Agent::install(), std::nullopt);
  EXPECT_EQ(runner.countStartingWith(python(2)), 0U);
  EXPECT_EQ(
      env.sandbox.read("Library/LaunchAgents/com.talmiro.kestrova.engine.plist"),
      Agent::plist({"/usr/bin/caffeinate", "-is", resources + "/engine/runtime/kestrova-engine"}));
}

// Refusals before anything is written: which message wins, and that launchctl is left alone.
struct RefusalCase {
  const char* name;
  bool engineExecutable;
  bool python;
  std::optional<std::string> allowAnywhere;
  bool locationMessage;  // else the Python message
};

TEST_F(AgentTest, RefusalsComePythonFirstThenLocation) {
  const std::vector<RefusalCase> cases = {
      {"no engine, no Python, outside Applications", false, false, std::nullopt, false},
      {"no engine, no Python, allowed anywhere", false, false, "1", false},
      {"Python present, outside Applications", false, true, std::nullopt, true},
      {"engine present, outside Applications", true, false, std::nullopt, true},
      // Which values lift the location rule is the placement test's table.
      {"anything but 1 keeps the location rule", true, false, "true", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(env.sandbox.path("Copy"));
    std::filesystem::remove_all(pythons.home());
    std::filesystem::create_directories(pythons.home());
    env.host.env.erase("KESTROVA_ALLOW_ANYWHERE");
    if (c.allowAnywhere) {
      env.host.env["KESTROVA_ALLOW_ANYWHERE"] = *c.allowAnywhere;
    }
    placeBundle("Copy", c.engineExecutable);
    if (c.python) {
      makeExecutable(python(1));
      runner.answer(probeLine(1), {0, "ok"});
    }
    const auto message = Agent::install();
    const std::string location = "Kestrova is running from " + env.host.bundle +
                                 ". Please drag it to the Applications folder first, then open "
                                 "it from there.";
    EXPECT_EQ(message, c.locationMessage ? location : kPythonMessage);
    EXPECT_EQ(launchctlCalls(), 0U);
    EXPECT_FALSE(std::filesystem::exists(plistPath()));
    // The two folders are made before anything is decided.
    EXPECT_TRUE(env.sandbox.exists("Library/Application Support/Kestrova/logs"));
    EXPECT_TRUE(env.sandbox.exists("Library/LaunchAgents"));
  }
}

TEST_F(AgentTest, AFailedWriteIsReportedLeavesLaunchdAloneAndNoTemporaryFile) {
  placeAllowedBundle();
  // Where the folder should be stands a file.
  const std::string folder = env.sandbox.write("Library/LaunchAgents", "not a folder");
  EXPECT_EQ(Agent::install(), "Could not write the startup file: Not a directory");
  std::filesystem::remove(folder);
  // Where the file should be stands a folder: the rename fails once the temporary is written.
  std::filesystem::create_directories(plistPath() + "/occupied");
  EXPECT_EQ(Agent::install(), "Could not write the startup file: Is a directory");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                          std::filesystem::directory_iterator()),
            1);
  EXPECT_EQ(launchctlCalls(), 0U);
}

// The load attempts: how launchctl answers, and what install() makes of it.
struct LoadCase {
  const char* name;
  std::vector<ShellResult> prints;
  std::vector<ShellResult> bootstraps;
  std::optional<std::string> result;
  std::size_t bootstrapCalls;
  std::size_t printCalls;
  double slept;
  std::vector<std::string> order = {};  // when given, every call in order (b/p/B: bootout,
                                        // print, bootstrap)
};

TEST_F(AgentTest, LoadAttempts) {
  const std::string resources = placeAllowedBundle();
  const std::vector<LoadCase> cases = {
      {"responsive launchd: no sleep at all",
       {kMissing, kFound},
       {kSuccess},
       std::nullopt,
       1,
       2,
       0.0},
      {"loaded before: unload, wait until gone, then load",
       {kFound, kMissing, kFound},
       {kSuccess},
       std::nullopt,
       1,
       3,
       0.15,
       {"b", "p", "p", "B", "p"}},
      {"accepted but never shown: the next attempt follows",
       concat({{kMissing}, ScriptedRunner::times(20, kMissing), {kFound}}),
       {kSuccess},
       std::nullopt,
       2,
       22,
       3.5},
      {"already bootstrapped is waited for like a success",
       {kMissing, kMissing, kFound},
       {kAlready},
       std::nullopt,
       1,
       3,
       0.15},
      {"three refusals but the last query finds it",
       {kMissing, kFound},
       {kIoError},
       std::nullopt,
       3,
       2,
       1.0},
      {"three refusals: the last attempt's output is quoted",
       {kMissing},
       {{5, "first"}, {5, "second"}, {5, "  Bootstrap failed: 5: Input/output error\n\n"}},
       kBareStartMessage + " launchctl said: Bootstrap failed: 5: Input/output error",
       3,
       2,
       1.0},
      {"empty output gives the bare message",
       {kMissing},
       {{5, "first"}, {1, " \n\t \n"}},
       kBareStartMessage,
       3,
       2,
       1.0},
      {"launchctl missing",
       {{-1, "launch failed: No such file or directory"}},
       {{-1, "launch failed: No such file or directory"}},
       kBareStartMessage + " launchctl said: launch failed: No such file or directory",
       3,
       2,
       1.0},
      {"worst case: every wait runs out",
       concat({ScriptedRunner::times(20, kFound), {kMissing}}),
       {kSuccess},
       kBareStartMessage,
       3,
       81,
       13.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedRunner script;
    TestPlatform local{Tools{}, &script};
    local.host.env["KESTROVA_ALLOW_ANYWHERE"] = "1";
    local.host.resources = resources;
    const std::string bootstrap = kLaunchctl + " bootstrap gui/501 " + local.sandbox.home() +
                                  "/Library/LaunchAgents/com.talmiro.kestrova.engine.plist";
    script.answer(kBootout, kSuccess);
    script.answer(kPrint, c.prints);
    script.answer(bootstrap, c.bootstraps);

    EXPECT_EQ(Agent::install(), c.result);
    EXPECT_EQ(script.count(bootstrap), c.bootstrapCalls);
    EXPECT_EQ(script.count(kPrint), c.printCalls);
    EXPECT_EQ(script.count(kBootout), 1U);
    // Nothing else is run: the worst case is 85 launchctl invocations in all.
    EXPECT_EQ(script.calls().size(), c.bootstrapCalls + c.printCalls + 1);
    EXPECT_NEAR(local.host.sleptSeconds(), c.slept, 1e-9);
    if (!c.order.empty()) {
      std::vector<std::string> order;
      for (const std::string& call : script.calls()) {
        order.emplace_back(call == kBootout ? "b" : call == kPrint ? "p" : "B");
      }
      EXPECT_EQ(order, c.order);
    }
  }
}

// stop(): how long launchd keeps showing the service, and the answer.
struct StopCase {
  const char* name;
  std::vector<ShellResult> prints;
  bool stopped;
  std::size_t printCalls;
  double slept;
};

TEST_F(AgentTest, Stop) {
  const std::vector<StopCase> cases = {
      {"not loaded: one query, no sleep", {kMissing}, true, 1, 0.0},
      {"gone after a moment", {kFound, kFound, kMissing}, true, 3, 0.3},
      {"gone just after the last check", concat({ScriptedRunner::times(20, kFound), {kMissing}}),
       true, 21, 3.0},
      {"still there", {kFound}, false, 21, 3.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedRunner script;
    TestPlatform local{Tools{}, &script};
    script.answer(kBootout, kSuccess);
    script.answer(kPrint, c.prints);
    EXPECT_EQ(Agent::stop(), c.stopped);
    EXPECT_EQ(script.calls().front(), kBootout);
    EXPECT_EQ(script.count(kPrint), c.printCalls);
    EXPECT_NEAR(local.host.sleptSeconds(), c.slept, 1e-9);
  }
}

TEST_F(AgentTest, IsLoadedRestartAndUninstallSpeakToTheServiceOfThisUser) {
  env.host.uid = 502;
  const std::string service = "gui/502/com.talmiro.kestrova.engine";
  runner.answer(kLaunchctl + " print " + service, {kFound, {113, "Could not find service"}});
  EXPECT_TRUE(Agent::isLoaded());
  EXPECT_FALSE(Agent::isLoaded());

  runner.clearCalls();
  Agent::restart();
  EXPECT_EQ(runner.calls(), std::vector<std::string>{kLaunchctl + " kickstart -k " + service});

  runner.clearCalls();
  const std::string path =
      env.sandbox.write("Library/LaunchAgents/com.talmiro.kestrova.engine.plist", "x");
  Agent::uninstall();
  EXPECT_EQ(runner.calls(), std::vector<std::string>{kLaunchctl + " bootout " + service});
  EXPECT_FALSE(std::filesystem::exists(path));
  Agent::uninstall();  // nothing left to delete: still quiet
  EXPECT_EQ(runner.count(kLaunchctl + " bootout " + service), 2U);
}

// isStale: what the installed file says, against this copy's engine.
struct StaleCase {
  const char* name;
  bool engineExecutable;
  std::optional<std::string> fileText;  // absent: no file
  bool stale;
};

TEST_F(AgentTest, IsStale) {
  const std::string resources = placeBundle("Copy", false);
  const std::string executable = resources + "/engine/runtime/kestrova-engine";
  const std::string script = resources + "/engine/kestrova.py";
  const std::string other = "/Applications/Old/Kestrova.app/Contents/Resources/engine/kestrova.py";
  const std::vector<StaleCase> cases = {
      {"no file", true, std::nullopt, false},
      {"names this copy's executable", true, "<string>" + executable + "</string>", false},
      {"mentions it anywhere, whatever else differs", true,
       "<!-- label com.example.other -->" + executable + " trailing", false},
      {"names another copy", true, "<string>" + other + "</string>", true},
      {"names the script while the executable exists", true, "<string>" + script + "</string>",
       true},
      {"names the script, no executable", false, "<string>" + script + "</string>", false},
      {"names the executable, which is gone", false, "<string>" + executable + "</string>", true},
      {"not UTF-8 text", true, "<string>" + other + "\xff\xfe</string>", false},
      {"empty file", true, "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(executable);
    if (c.engineExecutable) {
      makeExecutable(executable);
    }
    std::filesystem::remove(plistPath());
    if (c.fileText) {
      env.sandbox.write("Library/LaunchAgents/com.talmiro.kestrova.engine.plist", *c.fileText);
    }
    EXPECT_EQ(Agent::isStale(), c.stale);
  }
  std::filesystem::remove(plistPath());
  std::filesystem::create_directories(plistPath());
  EXPECT_FALSE(Agent::isStale()) << "a folder where the file should be cannot be read";
  EXPECT_EQ(launchctlCalls(), 0U);
}

// Outside Applications a stale file is left alone; inside, it is repointed (and said so in the
// system log) even when the reinstallation then fails, and then it is no longer stale.
TEST_F(AgentTest, RepairIfStale) {
  const std::string resources = placeBundle("Copy", true);
  const std::string stale =
      "<string>/Applications/Kestrova.app/Contents/Resources/engine/"
      "runtime/kestrova-engine</string>";
  env.sandbox.write("Library/LaunchAgents/com.talmiro.kestrova.engine.plist", stale);
  ASSERT_TRUE(Agent::isStale());
  EXPECT_FALSE(Agent::repairIfStale().attempted);
  EXPECT_EQ(env.sandbox.read("Library/LaunchAgents/com.talmiro.kestrova.engine.plist"), stale);
  EXPECT_EQ(launchctlCalls(), 0U);
  EXPECT_TRUE(env.host.logLines().empty());

  env.host.env["KESTROVA_ALLOW_ANYWHERE"] = "1";
  runner.answer(kPrint, kMissing);
  runner.answer(bootstrapLine(), kIoError);
  EXPECT_TRUE(Agent::repairIfStale().attempted);
  EXPECT_EQ(env.host.logLines(),
            std::vector<std::string>{"Kestrova: startup agent points elsewhere \u2014 repointing "
                                     "to " +
                                     resources + "/engine/kestrova.py"});
  EXPECT_EQ(runner.count(bootstrapLine()), 3U);
  EXPECT_FALSE(Agent::isStale());

  runner.clearCalls();
  EXPECT_FALSE(Agent::repairIfStale().attempted);
  EXPECT_EQ(launchctlCalls(), 0U);
}

}  // namespace
}  // namespace kestrova
