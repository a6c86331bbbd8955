// The security stand-in answers the command lines the app and the engine use, as the real tool.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <thread>

#include "app/dashboard/dashboard_password.h"
#include "app/engine/shell.h"
#include "tests/support/test_platform.h"

namespace kestrova {
namespace {

using testing::TestPlatform;

constexpr const char* kNotFound =
    "security: SecKeychainSearchCopyNext: The specified item could not be found in the "
    "keychain.\n";
constexpr const char* kExists =
    "security: SecKeychainItemCreateFromContent (<default>): The specified item already exists "
    "in the keychain.\n";

class SecurityStandinTest : public ::testing::Test {
 protected:
  // Runs the stand-in with the sandbox as its home, as the app's children would see it.
  ShellResult security(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"HOME=" + test.sandbox.home(), tool});
    return shell("/usr/bin/env", arguments);
  }

  ShellResult find(const std::string& service = "com.talmiro.kestrova") {
    return security({"find-generic-password", "-s", service, "-a", "password", "-w"});
  }

  ShellResult add(const std::string& password, bool update = false) {
    std::vector<std::string> args = {"add-generic-password", "-s", "com.talmiro.kestrova", "-a",
                                     "password", "-w", password};
    if (update) args.push_back("-U");
    return security(args);
  }

  TestPlatform test{testing::standinTools()};
  std::string tool = testing::standinTools().security;
};

TEST_F(SecurityStandinTest, MissingItemFailsLikeTheRealTool) {
  EXPECT_EQ(find(), (ShellResult{44, kNotFound}));
}

TEST_F(SecurityStandinTest, StoresFindsRefusesDuplicatesAndUpdatesWithU) {
  EXPECT_EQ(add("correct horse \"battery\""), (ShellResult{0, ""}));
  EXPECT_EQ(find(), (ShellResult{0, "correct horse \"battery\"\n"}));
  EXPECT_EQ(add("other"), (ShellResult{45, kExists}));
  EXPECT_EQ(find().output, "correct horse \"battery\"\n");
  EXPECT_EQ(add("staple", /*update=*/true), (ShellResult{0, ""}));
  EXPECT_EQ(find(), (ShellResult{0, "staple\n"}));
  // Another service is another item.
  EXPECT_EQ(find("com.example.other").status, 44);
}

TEST_F(SecurityStandinTest, KeychainIsPrivateToTheUser) {
  ASSERT_EQ(add("secret").status, 0);
  struct stat info {};
  ASSERT_EQ(::stat(test.sandbox.path(".kestrova-standins/keychain").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  // Only the keychain and its lock: no temporary file left behind.
  std::vector<std::string> names;
  for (const auto& e :
       std::filesystem::directory_iterator(test.sandbox.path(".kestrova-standins"))) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"keychain", "keychain.lock"}));
}

TEST_F(SecurityStandinTest, ConcurrentAddsOfDifferentItemsAllSurvive) {
  std::vector<std::thread> writers;
  for (int i = 0; i < 8; ++i) {
    writers.emplace_back([this, i] {
      (void)security({"add-generic-password", "-s", "svc" + std::to_string(i), "-a", "password",
                      "-w", "pw" + std::to_string(i)});
    });
  }
  for (auto& w : writers) w.join();
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(find("svc" + std::to_string(i)), (ShellResult{0, "pw" + std::to_string(i) + "\n"}));
  }
}

TEST_F(SecurityStandinTest, DamagedKeychainAndBadUsageFail) {
  test.sandbox.write(".kestrova-standins/keychain", "not a keychain");
  EXPECT_NE(find().status, 0);
  EXPECT_NE(add("x").status, 0);
  EXPECT_EQ(test.sandbox.read(".kestrova-standins/keychain"), "not a keychain");
  EXPECT_NE(security({"add-generic-password", "-s", "svc", "-a", "password"}).status, 0);
  EXPECT_NE(security({"no-such-command"}).status, 0);
}

}  // namespace
}  // namespace kestrova
