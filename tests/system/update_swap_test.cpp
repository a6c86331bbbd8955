// The whole update on Linux: a newer bundle in a stand-in disk image is served on 127.0.0.1,
// offered, downloaded, verified and handed to the real helper script under /bin/bash, which
// waits for the application's process to end, swaps the bundle with the stand-in tools and
// reopens it. The reopened program here is a marker that records which copy ran.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>

#include "app/engine/shell.h"
#include "app/platform/posix_host.h"
#include "app/shell/app_delegate.h"
#include "app/update/swap_and_relaunch.h"
#include "app/update/update_paths.h"
#include "tests/support/loopback_server.h"
#include "tests/support/real_processes.h"
#include "tests/support/sandbox.h"
#include "tests/support/scoped_env.h"
#include "tests/support/test_platform.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using testing::eventually;
using testing::LoopbackServer;
using testing::readFile;
using testing::ScriptedAnswer;
using testing::TestPlatform;
using testing::writeFile;

const std::string kTeam = "TEAM123456";
// The helper runs on its own in real time: a bound on the wait, not a measurement.
constexpr double kHelperLimit = 30;

// A stand-in for the running application's process: the helper waits until it has gone.
class StandInProcess {
 public:
  StandInProcess() : pid_(::fork()) {
    if (pid_ == 0) {
      ::execl("/bin/sleep", "sleep", "600", static_cast<char*>(nullptr));
      ::_exit(127);
    }
  }
  ~StandInProcess() { end(); }
  StandInProcess(const StandInProcess&) = delete;
  StandInProcess& operator=(const StandInProcess&) = delete;

  [[nodiscard]] int pid() const { return pid_; }
  // Ends and reaps it, so that its process identifier no longer exists.
  void end() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }

 private:
  pid_t pid_;
};

class UpdateSwap : public ::testing::Test {
 protected:
  UpdateSwap() {
    apps = fs::path(test.sandbox.path("Applications"));
    app = apps / "Kestrova.app";
    makeBundle(app, "1.0.0", "old");
    test.host.bundle = app.string();
    test.host.realSpawns = true;
    test.host.pid = running.pid();
  }

  // A copy of the built bundle at `where`, with its version and a marker program that appends
  // `mark` to Applications/opened.log when the bundle is opened.
  static void makeBundle(const fs::path& where, const std::string& version,
                         const std::string& mark) {
    fs::create_directories(where.parent_path());
    fs::copy(KESTROVA_BUNDLE_DIR, where, fs::copy_options::recursive);
    const auto plist = where / "Contents/Info.plist";
    const std::regex shortVersion(
        "(<key>CFBundleShortVersionString</key>\\s*<string>)[^<]*(</string>)");
    // "$01" rather than "$1": the version's own digits would otherwise extend the group number.
    writeFile(plist, std::regex_replace(readFile(plist), shortVersion, "$01" + version + "$02"));
    fs::remove(where / "Contents/MacOS/Kestrova");
    writeFile(where / "Contents/MacOS/Kestrova",
              "#!/bin/sh\necho " + mark + " >> \"$(dirname \"$0\")/../../../opened.log\"\n",
              fs::perms(0755));
    writeFile(where / "Contents/_CodeSignature/team", kTeam + "\n");
  }

  // A stand-in disk image of `folder`'s contents, signed by our team.
  std::string makeImage(const fs::path& folder, const std::string& name) {
    const auto image = test.sandbox.path(name);
    const auto& tools = test.get().tools();
    EXPECT_EQ(shell(tools.hdiutil, {"create", "-srcfolder", folder.string(), image}).status, 0);
    EXPECT_EQ(shell(tools.codesign, {"-s", kTeam, image}).status, 0);
    return image;
  }

  [[nodiscard]] std::string version() const {
    return PosixHost(app.string()).infoString("CFBundleShortVersionString").value_or("(no bundle)");
  }
  [[nodiscard]] std::string opened() const { return readFile(apps / "opened.log"); }
  [[nodiscard]] std::string helperLog() const { return readFile(Updater::helperLogPath()); }

  TestPlatform test{testing::standinTools()};
  // HOME for the tools that keep state there, TMPDIR so the helper's mount folders stay inside
  // the sandbox.
  testing::ScopedEnv home{"HOME", test.sandbox.home()};
  testing::ScopedEnv temporary{"TMPDIR", test.sandbox.home()};
  StandInProcess running;
  fs::path apps;
  fs::path app;
};

TEST_F(UpdateSwap, ANewerReleaseIsInstalledAndReopened) {
  const fs::path staging = test.sandbox.path("staging");
  makeBundle(staging / "Kestrova.app", "1.1.0", "new");
  const auto bytes = readFile(makeImage(staging, "release.dmg"));
  const auto digest = shell("/usr/bin/shasum", {"-a", "256", test.sandbox.path("release.dmg")})
                          .output.substr(0, 64);
  LoopbackServer server;
  server.on("GET", "/Kestrova-1.1.0.dmg",
            testing::LoopbackReply{.body = bytes, .contentType = "application/octet-stream"});
  server.on("GET", "/appcast.json",
            testing::LoopbackReply{.body = R"({"version": "1.1.0", "url": ")" +
                                           server.url("/Kestrova-1.1.0.dmg") + R"(", "sha256": ")" +
                                           digest + R"(", "published": 1780000000})"});
  test.sandbox.write("Library/Application Support/Kestrova/config.json",
                     R"({"update_feed": ")" + server.url("/appcast.json") + R"("})");

  const auto delegate = AppDelegate::create();
  test.ui.answers.push_back(ScriptedAnswer{kAlertFirstButton, {}, 0});
  delegate->checkForUpdates();
  ASSERT_TRUE(
      test.loop.runUntil([&] { return !test.host.spawned().empty(); }, std::chrono::seconds(30)));
  ASSERT_EQ(test.ui.alerts.size(), 1u) << test.ui.alerts.back().informative;
  EXPECT_EQ(test.ui.alerts[0].message, "Kestrova 1.1.0 is available");
  test.loop.advance(Updater::kTerminateDelay);
  EXPECT_TRUE(test.ui.terminated);

  // The helper leaves the bundle alone while the application's process is alive.
  ASSERT_TRUE(eventually([&] { return helperLog().find("== update ") != std::string::npos; },
                         kHelperLimit));
  EXPECT_EQ(version(), "1.0.0");
  running.end();

  ASSERT_TRUE(eventually([&] { return opened() == "new\n"; }, kHelperLimit)) << helperLog();
  EXPECT_EQ(version(), "1.1.0");
  EXPECT_TRUE(fs::exists(app / "Contents/MacOS/Kestrova"));
  EXPECT_FALSE(fs::exists(apps / ".Kestrova-previous"));
  EXPECT_FALSE(fs::exists(Updater::imagePath("1.1.0")));
  const auto log = helperLog();
  EXPECT_NE(log.find("pid=" + std::to_string(test.host.pid) + " app=" + app.string() +
                     " dmg=" + Updater::imagePath("1.1.0")),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("swap OK"), std::string::npos) << log;
}

TEST_F(UpdateSwap, AnImageWithoutTheAppRestoresAndReopensTheOldBundle) {
  // Left over from an earlier run: removed before the installed bundle is moved aside.
  writeFile(apps / ".Kestrova-previous/leftover", "from last time");
  const fs::path staging = test.sandbox.path("staging");
  writeFile(staging / "README", "no application in here");
  const auto image = Updater::imagePath("1.1.0");
  fs::create_directories(Updater::updatesDir());
  fs::rename(makeImage(staging, "empty.dmg"), image);
  running.end();  // nothing for the helper to wait for
  ASSERT_EQ(Updater::swapAndRelaunch(image), std::nullopt);

  ASSERT_TRUE(eventually([&] { return opened() == "old\n"; }, kHelperLimit)) << helperLog();
  EXPECT_EQ(version(), "1.0.0");
  EXPECT_FALSE(fs::exists(app / "leftover"));
  EXPECT_FALSE(fs::exists(app / "Kestrova.app"));
  EXPECT_FALSE(fs::exists(apps / ".Kestrova-previous"));
  EXPECT_FALSE(fs::exists(apps / ".Kestrova-incoming"));
  EXPECT_FALSE(fs::exists(image));
  EXPECT_NE(helperLog().find("COPY FAILED \u2014 restoring previous version"), std::string::npos);
  EXPECT_EQ(helperLog().find("swap OK"), std::string::npos);
}

}  // namespace
}  // namespace kestrova
