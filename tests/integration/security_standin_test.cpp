// The security stand-in answers the command lines the app and the engine use, as the real tool.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <regex>
#include <thread>

#include "app/engine/shell.h"
#include "tests/support/real_processes.h"
#include "tests/support/scoped_env.h"
#include "tests/support/test_platform.h"

extern char** environ;

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
    std::vector<std::string> args = {
        "add-generic-password", "-s", "com.talmiro.kestrova", "-a", "password", "-w", password};
    if (update) args.push_back("-U");
    return security(args);
  }

  TestPlatform test{testing::standinTools()};
  std::string tool = testing::standinTools().security;
};

TEST_F(SecurityStandinTest, StoresFindsRefusesDuplicatesAndUpdatesWithU) {
  EXPECT_EQ(find(), (ShellResult{44, kNotFound}));
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

// The stand-in engine as launchd runs it, with the sandbox as its home, until destroyed.
class EngineRun {
 public:
  explicit EngineRun(const std::string& home) : home_("HOME", home) {
    std::string program = KESTROVA_ENGINE_RUNTIME_DIR "/kestrova-engine";
    char* argv[] = {program.data(), nullptr};
    if (posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv, environ) != 0) pid_ = -1;
  }
  ~EngineRun() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  EngineRun(const EngineRun&) = delete;
  EngineRun& operator=(const EngineRun&) = delete;
  [[nodiscard]] bool started() const { return pid_ > 0; }

 private:
  testing::ScopedEnv home_;
  testing::ScopedEnv resources_{"KESTROVA_RESOURCES",
                                std::string(KESTROVA_BUNDLE_DIR) + "/Contents/Resources/engine"};
  pid_t pid_ = -1;
};

TEST_F(SecurityStandinTest, EngineStoresARandomPasswordOnceForTheAppToShow) {
  const std::string log = "Library/Application Support/Kestrova/logs/stream.log";
  test.sandbox.write("Library/Application Support/Kestrova/config.json",
                     R"({"port": )" + std::to_string(testing::freePort()) + "}");
  // The engine looks at the Keychain before it opens its port: once the log speaks of
  // listening (or of failing to), the password is settled and the engine can be stopped.
  const auto runOnce = [&] {
    EngineRun engine(test.sandbox.home());
    ASSERT_TRUE(engine.started());
    EXPECT_TRUE(testing::eventually(
        [&] { return test.sandbox.read(log).find("listen") != std::string::npos; }));
  };
  runOnce();
  const ShellResult first = find();
  ASSERT_EQ(first.status, 0) << test.sandbox.read(log);
  EXPECT_TRUE(std::regex_match(first.output, std::regex("([a-z2-9]{5}-){3}[a-z2-9]{5}\n")))
      << first.output;
  const std::string password = first.output.substr(0, first.output.size() - 1);
  EXPECT_EQ(test.sandbox.read(log).find(password), std::string::npos);

  runOnce();  // a later start keeps the password the user may already have typed
  EXPECT_EQ(find(), first);
}

}  // namespace
}  // namespace kestrova
