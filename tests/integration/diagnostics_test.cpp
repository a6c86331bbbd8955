#include "app/support/diagnostics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/engine/shell.h"
#include "app/shell/app_delegate.h"
#include "tests/support/alert_print.h"
#include "tests/support/test_platform.h"

namespace kestrova {
namespace {

using testing::TestPlatform;

constexpr const char* kReport = "Desktop/Kestrova-Diagnostics.txt";
constexpr const char* kConfig = "Library/Application Support/Kestrova/config.json";
constexpr const char* kLog = "Library/Application Support/Kestrova/logs/stream.log";
constexpr const char* kAgent = "Library/LaunchAgents/com.talmiro.kestrova.engine.plist";

// The real tail (Tools' default path, present on Linux too) and real files in a sandboxed home.
class DiagnosticsTest : public ::testing::Test {
 protected:
  [[nodiscard]] std::string report() const { return test.sandbox.read(kReport); }

  [[nodiscard]] std::vector<std::string> desktopEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(test.sandbox.path("Desktop"))) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  TestPlatform test;
  std::shared_ptr<AppDelegate> app = AppDelegate::create();
};

// No Desktop folder yet: it is made for the report.
TEST_F(DiagnosticsTest, WritesTheWholeReportRevealsItAndSaysSo) {
  test.host.clock = std::chrono::system_clock::time_point(std::chrono::seconds(1772373909));
  test.host.info["CFBundleShortVersionString"] = "1.0.0";
  test.sandbox.write(kAgent, "<plist/>");
  test.sandbox.write(kConfig, R"({"port": 8800, "password": "hunter2", "zeta": {"b": 1, "a": 2}})");
  test.sandbox.write(kLog, "first\nsecond\n");

  app->diagnostics();  // the controller's state before any poll: offline

  EXPECT_EQ(report(),
            "Kestrova diagnostics\n"
            "generated: 2026-03-01 14:05:09 +0000\n"
            "app: 1.0.0\n"
            "macOS: Version 14.5 (Build 23F79)\n"
            "agent installed: true\n"
            "status: Offline\n"
            "\n"
            "--- config (secrets removed) ---\n"
            "{\n"
            "  \"password\": \"<removed>\",\n"
            "  \"port\": 8800,\n"
            "  \"zeta\": {\n"
            "    \"a\": 2,\n"
            "    \"b\": 1\n"
            "  }\n"
            "}\n"
            "\n"
            "--- last 400 log lines ---\n"
            "first\nsecond\n");
  EXPECT_EQ(test.ui.revealedFiles, std::vector<std::string>{test.sandbox.path(kReport)});
  EXPECT_EQ(
      test.ui.alerts,
      (std::vector<AlertSpec>{{"Diagnostics saved to your Desktop",
                               "Attach Kestrova-Diagnostics.txt to your message to support.\n\n"
                               "It contains no passwords or stream keys.",
                               {"OK"},
                               std::nullopt}}));
}

// A malformed config is the report builder's concern; a missing one must not stop the report.
TEST_F(DiagnosticsTest, NoConfigFileLeavesNoSection) {
  Diagnostics::save(EngineStatus::needsSetup);
  EXPECT_EQ(report().find("--- config"), std::string::npos) << report();
  EXPECT_NE(report().find(
                "\nagent installed: false\nstatus: Setup needed\n\n--- last 400 log lines ---\n"),
            std::string::npos)
      << report();
}

TEST_F(DiagnosticsTest, MissingLogShowsTheToolsOwnComplaint) {
  const std::string logPath = test.sandbox.path(kLog);
  const ShellResult direct = shell("/usr/bin/tail", {"-n", "400", logPath});
  ASSERT_NE(direct.status, 0);
  ASSERT_NE(direct.output.find("No such file"), std::string::npos) << direct.output;

  Diagnostics::save(EngineStatus::offline);
  EXPECT_TRUE(report().ends_with("--- last 400 log lines ---\n" + direct.output)) << report();
  EXPECT_EQ(test.ui.revealedFiles.size(), 1u);
}

TEST_F(DiagnosticsTest, KeepsOnlyTheLast400LogLines) {
  std::string log;
  for (int i = 1; i <= 450; ++i) log += "line " + std::to_string(i) + "\n";
  test.sandbox.write(kLog, log);
  Diagnostics::save(EngineStatus::idle);
  const std::string text = report();
  const std::string tail = text.substr(text.find("--- last 400 log lines ---\n") + 27);
  EXPECT_TRUE(tail.starts_with("line 51\n")) << tail.substr(0, 40);
  EXPECT_TRUE(tail.ends_with("line 450\n"));
  EXPECT_EQ(std::count(tail.begin(), tail.end(), '\n'), 400);
}

TEST_F(DiagnosticsTest, AnInvalidByteInTheLogCostsOnlyThatCharacter) {
  test.sandbox.write(kLog, "first\ncaf\xE9 \xFF ok\nlast line without a feed");
  Diagnostics::save(EngineStatus::onAir);
  EXPECT_TRUE(
      report().ends_with("---\nfirst\ncaf\xEF\xBF\xBD \xEF\xBF\xBD ok\nlast line without a feed"))
      << report();
}

TEST_F(DiagnosticsTest, SecondReportReplacesTheFirstWhole) {
  test.sandbox.write(kConfig, R"({"channel": "first report with a long configuration text"})");
  Diagnostics::save(EngineStatus::live);
  const std::string first = report();
  ASSERT_NE(first.find("first report"), std::string::npos);

  std::filesystem::remove(test.sandbox.path(kConfig));
  Diagnostics::save(EngineStatus::needsSetup);
  const std::string second = report();
  EXPECT_EQ(second.find("first report"), std::string::npos);
  EXPECT_NE(second.find("\nstatus: Setup needed\n\n"), std::string::npos);
  EXPECT_EQ(desktopEntries(), std::vector<std::string>{"Kestrova-Diagnostics.txt"});
  EXPECT_EQ(test.ui.revealedFiles.size(), 2u);
}

TEST_F(DiagnosticsTest, DesktopThatCannotBeWrittenIsReportedNotRevealed) {
  // Tests run as root, so permissions would not stop the write: a file where the folder should
  // be does.
  test.sandbox.write("Desktop", "not a folder");
  Diagnostics::save(EngineStatus::onAir);

  EXPECT_TRUE(test.ui.revealedFiles.empty());
  ASSERT_EQ(test.ui.alerts.size(), 1u);
  EXPECT_EQ(test.ui.alerts[0].message, "Could not save the diagnostics report");
  EXPECT_EQ(test.ui.alerts[0].informative, "Not a directory");
  EXPECT_EQ(test.ui.alerts[0].buttons, std::vector<std::string>{"OK"});
  EXPECT_EQ(test.sandbox.read("Desktop"), "not a folder");
  const auto logs = test.host.logLines();
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_TRUE(logs[0].starts_with("Kestrova: ")) << logs[0];
}

}  // namespace
}  // namespace kestrova
