// Showing the dashboard password the engine keeps in the Keychain.
#include "app/dashboard/dashboard_password.h"

#include <gtest/gtest.h>

#include "tests/support/scripted_runner.h"
#include "tests/support/test_platform.h"

namespace kestrova::testing {
namespace {

// The security tool's path comes from the seam; the answer decides the alert.
const std::string kCommand =
    "/opt/k/security find-generic-password -s com.talmiro.kestrova -a password -w";

struct Shown {
  std::vector<AlertSpec> alerts;
  std::optional<std::string> pasteboard;
};

Shown showWith(const ShellResult& answer, int button = kAlertFirstButton) {
  ScriptedRunner runner;
  TestPlatform test{Tools{.security = "/opt/k/security"}, &runner};
  runner.answer(kCommand, answer);
  test.ui.answers.push_back(ScriptedAnswer{button, {}, 0});
  DashboardPassword::show();
  return {test.ui.alerts, test.ui.pasteboard};
}

// Trimmed at both ends only; "Copy" puts exactly that on the pasteboard, "Done" nothing.
TEST(DashboardPassword, ShowsTheTrimmedPasswordAndCopiesItOnlyOnCopy) {
  const AlertSpec shown{"Dashboard password",
                        "s3cret pass\n\nType this into the dashboard when it asks.",
                        {"Copy", "Done"},
                        std::nullopt};
  const Shown copied = showWith({0, "\n\t s3cret pass \r\n"});
  EXPECT_EQ(copied.alerts, std::vector<AlertSpec>{shown});
  EXPECT_EQ(copied.pasteboard, "s3cret pass");
  EXPECT_EQ(showWith({0, "s3cret pass"}, kAlertFirstButton + 1).pasteboard, std::nullopt);
}

TEST(DashboardPassword, AnyFailureOrBlankPasswordShowsTheFailureAlert) {
  const AlertSpec failed{"Could not read the password",
                         "macOS did not release it from the Keychain. If you were not asked to "
                         "authorise, try again and choose Allow.",
                         {"OK"},
                         std::nullopt};
  // A tool that failed, or could not start, gives no password, whatever it printed.
  for (const ShellResult& answer : {ShellResult{-1, "launch failed: No such file or directory"},
                                    ShellResult{1, "hunter2\n"}, ShellResult{0, " \n\t\r\n "}}) {
    const Shown shown = showWith(answer);
    EXPECT_EQ(shown.alerts, std::vector<AlertSpec>{failed}) << answer.output;
    EXPECT_EQ(shown.pasteboard, std::nullopt);
  }
}

}  // namespace
}  // namespace kestrova::testing
