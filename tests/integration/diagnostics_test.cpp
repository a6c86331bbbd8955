// The diagnostics report as written to the Desktop by the controller, with the real tail over
// real files (the report's layout is the report builder's own test).
#include "app/support/diagnostics.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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

TEST_F(DiagnosticsTest,
       TheReportHoldsTheStateConfigAndLogTailReplacesTheLastOneOrIsReportedWhenItCannot) {
  writeAgentFile(enginePath());
  std::string log;
  // Lines as long as an engine's: 400 of them fit the report whole.
  for (int i = 1; i <= 450; ++i) log += "line " + std::to_string(i) + std::string(300, '.') + "\n";
  platform.sandbox.write(kLog, log + "caf\xE9\n");  // an invalid byte costs only itself
  log += "caf\uFFFD\n";
  delegate->diagnostics();  // the controller's state before any poll: offline
  EXPECT_NE(report().find("\nagent installed: true\nstatus: Offline\n"), std::string::npos);
  EXPECT_NE(report().find("--- config"), std::string::npos) << report();
  EXPECT_TRUE(report().ends_with("log lines ---\n" + log.substr(log.find("line 52."))));
  EXPECT_EQ(platform.ui.revealedFiles, std::vector<std::string>{platform.sandbox.path(kReport)});
  EXPECT_EQ(alerts(), std::vector{ok("Diagnostics saved to your Desktop",
                                     "Attach Kestrova-Diagnostics.txt to your message to "
                                     "support.\n\nIt contains no passwords or stream keys.")});
  // Without a log the tail's own complaint is what support sees.
  std::filesystem::remove(platform.sandbox.path(kLog));
  std::filesystem::remove(platform.sandbox.path(kConfigFile));
  const ShellResult complaint = shell("/usr/bin/tail", {"-n", "400", platform.sandbox.path(kLog)});
  Diagnostics::save(EngineStatus::needsSetup);
  EXPECT_EQ(report().find("--- config"), std::string::npos) << report();
  EXPECT_TRUE(report().ends_with("log lines ---\n" + complaint.output)) << report();
  // A config there but unreadable (a socket, whoever we are) may hold secrets: no log is shown.
  sockaddr_un config{};
  config.sun_family = AF_UNIX;
  (void)platform.sandbox.path(kConfigFile).copy(config.sun_path, sizeof config.sun_path - 1);
  const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(::bind(socket, reinterpret_cast<sockaddr*>(&config), sizeof config), 0);
  Diagnostics::save(EngineStatus::onAir);
  ::close(socket);
  EXPECT_TRUE(report().ends_with(std::string(Diagnostics::kLogWithheld))) << report();
  // Tests run as root, so permissions would not stop the write: a file where the folder goes does.
  std::filesystem::remove_all(platform.sandbox.path("Desktop"));
  platform.sandbox.write("Desktop", "not a folder");
  Diagnostics::save(EngineStatus::onAir);
  EXPECT_EQ(platform.ui.revealedFiles.size(), 3u) << "a report not written is not revealed";
  EXPECT_EQ(alerts().back(), ok("Could not save the diagnostics report", "Not a directory"));
  EXPECT_EQ(platform.host.logLines(),
            std::vector<std::string>{"Kestrova: diagnostics report not written: Not a directory"});
}

}  // namespace
}  // namespace kestrova::testing
