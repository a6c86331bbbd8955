#include "app/dashboard/dashboard_password.h"

#include <gtest/gtest.h>

#include "tests/support/alert_print.h"
#include "tests/support/scripted_runner.h"
#include "tests/support/test_platform.h"

namespace kestrova {
namespace {

using testing::ScriptedAnswer;
using testing::ScriptedRunner;
using testing::TestPlatform;

constexpr const char* kCommand =
    "/usr/bin/security find-generic-password -s com.talmiro.kestrova -a password -w";
constexpr const char* kSentence = "\n\nType this into the dashboard when it asks.";

// The password is trimmed at both ends only; "Copy" puts exactly that on the pasteboard, "Done"
// leaves what the user had there.
TEST(DashboardPassword, ShowsTheTrimmedPasswordAndCopiesItOnlyOnCopy) {
  const struct {
    const char* output;
    int button;
    const char* password;
    const char* pasteboardAfter;
    int writes;
  } cases[] = {
      {"s3cret-Pass\n", kAlertFirstButton, "s3cret-Pass", "s3cret-Pass", 1},
      {"\n\t s3cret pass \r\n", kAlertFirstButton + 1, "s3cret pass", "what the user copied", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.output);
    ScriptedRunner local;
    TestPlatform scoped{Tools{}, &local};
    local.answer(kCommand, ShellResult{0, c.output});
    scoped.ui.pasteboard = "what the user copied";
    scoped.ui.answers.push_back(
        ScriptedAnswer{.response = c.button, .fieldText = {}, .heldFor = 0});
    DashboardPassword::show();
    EXPECT_EQ(local.calls(), std::vector<std::string>{kCommand});
    EXPECT_EQ(scoped.ui.alerts, (std::vector<AlertSpec>{{"Dashboard password",
                                                         c.password + std::string(kSentence),
                                                         {"Copy", "Done"},
                                                         std::nullopt}}));
    EXPECT_EQ(scoped.ui.pasteboard, c.pasteboardAfter);
    EXPECT_EQ(scoped.ui.pasteboardWrites, c.writes);
  }
}

// Run through a security tool elsewhere: the tool's path comes from the seam, not from here.
TEST(DashboardPassword, AnyFailureOrBlankPasswordShowsTheFailureAlert) {
  Tools tools;
  tools.security = "/opt/elsewhere/security";
  const struct {
    const char* name;
    ShellResult result;
  } cases[] = {
      {"item missing",
       {44,
        "security: SecKeychainSearchCopyNext: The specified item could not be found in the "
        "keychain.\n"}},
      {"user denied",
       {128, "security: SecKeychainSearchCopyNext: User interaction is not allowed.\n"}},
      {"tool not started", {-1, "launch failed: No such file or directory"}},
      {"status failure with text that looks like a password", {1, "hunter2\n"}},
      {"empty output", {0, ""}},
      {"only white space", {0, " \n\t\r\n "}},
  };
  for (const auto& c : cases) {
    ScriptedRunner local;
    TestPlatform scoped{tools, &local};
    const std::string command =
        "/opt/elsewhere/security find-generic-password -s com.talmiro.kestrova -a password -w";
    local.answer(command, c.result);
    DashboardPassword::show();
    EXPECT_EQ(local.calls(), std::vector<std::string>{command}) << c.name;
    EXPECT_EQ(scoped.ui.alerts,
              (std::vector<AlertSpec>{{"Could not read the password",
                                       "macOS did not release it from the Keychain. If you were "
                                       "not asked to authorise, try again and choose Allow.",
                                       {"OK"},
                                       std::nullopt}}))
        << c.name;
    EXPECT_FALSE(scoped.ui.pasteboard.has_value()) << c.name;
  }
}

}  // namespace
}  // namespace kestrova
