#include "app/dashboard/dashboard_password.h"

#include <gtest/gtest.h>

#include <tuple>

#include "tests/support/scripted_runner.h"
#include "tests/support/test_platform.h"

namespace kestrova {
namespace {

using testing::ScriptedAnswer;
using testing::ScriptedRunner;
using testing::TestPlatform;

// Message, informative text, buttons and whether a field was asked for.
std::tuple<std::string, std::string, std::vector<std::string>, bool> shown(const AlertSpec& a) {
  return {a.message, a.informative, a.buttons, a.field.has_value()};
}

constexpr const char* kCommand =
    "/usr/bin/security find-generic-password -s com.talmiro.kestrova -a password -w";
constexpr const char* kSentence = "\n\nType this into the dashboard when it asks.";

class DashboardPasswordTest : public ::testing::Test {
 protected:
  ScriptedRunner runner;
  TestPlatform test{Tools{}, &runner};
};

TEST_F(DashboardPasswordTest, ShowsTheTrimmedPasswordAndCopiesItAlone) {
  runner.answer(kCommand, ShellResult{0, "s3cret-Pass\n"});
  test.ui.answers.push_back(
      ScriptedAnswer{.response = kAlertFirstButton, .fieldText = {}, .heldFor = 0});  // "Copy"
  DashboardPassword::show();

  ASSERT_EQ(runner.calls(), std::vector<std::string>{kCommand});
  ASSERT_EQ(test.ui.alerts.size(), 1u);
  const AlertSpec expected{
      "Dashboard password", std::string("s3cret-Pass") + kSentence, {"Copy", "Done"}, std::nullopt};
  EXPECT_EQ(shown(test.ui.alerts[0]), shown(expected));
  EXPECT_EQ(test.ui.pasteboard, "s3cret-Pass");
  EXPECT_EQ(test.ui.pasteboardWrites, 1);
}

TEST_F(DashboardPasswordTest, DoneLeavesThePasteboardAsItWas) {
  runner.answer(kCommand, ShellResult{0, "  s3cret \r\n"});
  test.ui.pasteboard = "something the user copied";
  test.ui.answers.push_back(
      ScriptedAnswer{.response = kAlertFirstButton + 1, .fieldText = {}, .heldFor = 0});  // "Done"
  DashboardPassword::show();

  ASSERT_EQ(test.ui.alerts.size(), 1u);
  EXPECT_EQ(test.ui.alerts[0].informative, std::string("s3cret") + kSentence);
  EXPECT_EQ(test.ui.pasteboard, "something the user copied");
  EXPECT_EQ(test.ui.pasteboardWrites, 0);
}

TEST_F(DashboardPasswordTest, AnyFailureOrBlankPasswordShowsTheFailureAlert) {
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
    TestPlatform scoped{Tools{}, &local};
    local.answer(kCommand, c.result);
    DashboardPassword::show();
    ASSERT_EQ(scoped.ui.alerts.size(), 1u) << c.name;
    const AlertSpec expected{
        "Could not read the password",
        "macOS did not release it from the Keychain. If you were not asked to authorise, try "
        "again and choose Allow.",
        {"OK"},
        std::nullopt};
    EXPECT_EQ(shown(scoped.ui.alerts[0]), shown(expected)) << c.name;
    EXPECT_FALSE(scoped.ui.pasteboard.has_value()) << c.name;
  }
}

TEST_F(DashboardPasswordTest, UsesTheSecurityToolTheSeamNames) {
  Tools tools;
  tools.security = "/opt/elsewhere/security";
  ScriptedRunner local;
  TestPlatform scoped{tools, &local};
  DashboardPassword::show();  // nothing scripted: the runner reports a launch failure
  EXPECT_EQ(
      local.count(
          "/opt/elsewhere/security find-generic-password -s com.talmiro.kestrova -a password -w"),
      1u);
  ASSERT_EQ(scoped.ui.alerts.size(), 1u);
  EXPECT_EQ(scoped.ui.alerts[0].message, "Could not read the password");
}

TEST(DashboardPasswordText, TrimsWhiteSpaceAndLineEndsAtBothEndsOnly) {
  EXPECT_EQ(DashboardPassword::trimmed("\n\t pass word \r\n"), "pass word");
  EXPECT_EQ(DashboardPassword::trimmed("a"), "a");
  EXPECT_EQ(DashboardPassword::trimmed(" \n "), "");
}

}  // namespace
}  // namespace kestrova
