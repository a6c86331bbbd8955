// The diagnostics report as written to the Desktop by the controller, with the real tail over
// real files (the report's layout is the report builder's own test).
#include "app/support/diagnostics.h"

#include <gtest/gtest.h>

#include "app/engine/shell.h"
#include "tests/integration/controller_fixture.h"

namespace kestrova::testing {
namespace {

const std::string kReport = "Desktop/Kestrova-Diagnostics.txt";
const std::string kLog = "Library/Application Support/Kestrova/logs/stream.log";

class DiagnosticsTest : public ControllerTest {
 protected:
  [[nodiscard]] std::string report() const { return platform.sandbox.read(kReport); }
  Platform realTools{platform.loop, http, platform.ui, platform.host, platform.realRunner, Tools{}};
  ScopedPlatform withRealTools{realTools};
};

TEST_F(DiagnosticsTest, WritesTheReportOnAFreshDesktopRevealsItAndSaysSo) {
  writeAgentFile(enginePath());
  platform.sandbox.write(kConfigFile, R"({"port": 8800, "password": "hunter2"})");
  platform.sandbox.write(kLog, "first\nsec\xFFond\n");  // an invalid byte costs only itself
  delegate->diagnostics();  // the controller's state before any poll: offline
  const std::string text = report();
  EXPECT_TRUE(text.starts_with("Kestrova diagnostics\n")) << text;
  EXPECT_NE(text.find("\nagent installed: true\nstatus: Offline\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\"password\": \"<removed>\""), std::string::npos) << text;
  EXPECT_EQ(text.find("hunter2"), std::string::npos);
  EXPECT_TRUE(text.ends_with("--- last 400 log lines ---\nfirst\nsec\uFFFDond\n")) << text;
  EXPECT_EQ(platform.ui.revealedFiles, std::vector<std::string>{platform.sandbox.path(kReport)});
  EXPECT_EQ(
      alerts(),
      (std::vector<AlertSpec>{{"Diagnostics saved to your Desktop",
                               "Attach Kestrova-Diagnostics.txt to your message to support.\n\n"
                               "It contains no passwords or stream keys.",
                               {"OK"},
                               std::nullopt}}));
}

TEST_F(DiagnosticsTest, TheLastLogLinesOrTheTailsComplaintAndALaterReportReplacesTheFirstWhole) {
  std::string log;
  for (int i = 1; i <= 450; ++i) log += "line " + std::to_string(i) + "\n";
  platform.sandbox.write(kLog, log);
  Diagnostics::save(EngineStatus::idle);
  EXPECT_TRUE(
      report().ends_with("--- last 400 log lines ---\n" + log.substr(log.find("line 51\n"))))
      << report();

  std::filesystem::remove(platform.sandbox.path(kLog));
  std::filesystem::remove(platform.sandbox.path(kConfigFile));
  const ShellResult complaint = shell("/usr/bin/tail", {"-n", "400", platform.sandbox.path(kLog)});
  ASSERT_NE(complaint.output.find("No such file"), std::string::npos) << complaint.output;
  Diagnostics::save(EngineStatus::needsSetup);
  EXPECT_EQ(report().find("--- config"), std::string::npos) << report();
  EXPECT_TRUE(report().ends_with("--- last 400 log lines ---\n" + complaint.output)) << report();
  EXPECT_EQ(report().find("line 450"), std::string::npos);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(platform.sandbox.path("Desktop")),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(DiagnosticsTest, ADesktopThatCannotBeWrittenIsReportedNotRevealed) {
  // Tests run as root, so permissions would not stop the write: a file where the folder goes does.
  platform.sandbox.write("Desktop", "not a folder");
  Diagnostics::save(EngineStatus::onAir);
  EXPECT_TRUE(platform.ui.revealedFiles.empty());
  EXPECT_EQ(
      alerts(),
      (std::vector<AlertSpec>{
          {"Could not save the diagnostics report", "Not a directory", {"OK"}, std::nullopt}}));
  EXPECT_EQ(platform.sandbox.read("Desktop"), "not a folder");
  ASSERT_EQ(platform.host.logLines().size(), 1u);
  EXPECT_TRUE(platform.host.logLines()[0].starts_with("Kestrova: "));
}

}  // namespace
}  // namespace kestrova::testing
