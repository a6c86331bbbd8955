// The update flow through the controller: scheduled and menu checks, the offer, the download
// with the status item greyed, and what happens when the swap cannot start. Virtual time, a
// scripted Ui and launchctl, the feed and the image over real HTTP on 127.0.0.1.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "app/engine/paths.h"
#include "app/shell/app_delegate.h"
#include "app/update/helper_script.h"
#include "app/update/update_paths.h"
#include "tests/support/alert_print.h"
#include "tests/support/launchctl_lines.h"
#include "tests/support/loopback_server.h"
#include "tests/support/scripted_runner.h"
#include "tests/support/test_platform.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using testing::kBootout;
using testing::kKickstart;
using testing::kLaunchctl;
using testing::kOk;
using testing::kPrint;
using testing::kUnknownService;
using testing::LoopbackServer;
using testing::ScriptedAnswer;
using testing::ScriptedRunner;
using testing::TestPlatform;

const std::string kDigest = "5e884898da28047151d0e56f8dc6292773603d0d6aabbdd62a11ef721d1542d8";
const std::string kBroadcast =
    "Updating stops the broadcast for about a minute; it resumes by itself from where it stopped.";
constexpr int kLater = kAlertFirstButton + 1;

// Replies come over real sockets: a guard against a hang, never a measurement. It is generous
// because a loaded machine (sanitizer builds side by side) has been seen taking more than ten
// seconds to hand over one loopback reply; a passing run never waits for it.
constexpr std::chrono::seconds kHangGuard{60};

testing::LoopbackReply reply(int status, std::string body) {
  return testing::LoopbackReply{.status = status, .body = std::move(body)};
}

// Real HTTP for the feed and the image; the engine's status polls are refused at once, so that
// days of virtual time do not mean thousands of real requests. Downloads wait for release() so
// that a test can look at the controller while one is in flight.
class RoutedHttp final : public Http {
 public:
  RoutedHttp(Http& real, MainLoop& loop) : real_(real), loop_(loop) {}

  void send(HttpRequest request, std::function<void(HttpResponse)> done) override {
    if (request.url.find("/appcast.json") == std::string::npos) {
      HttpResponse refused;
      refused.error = "Connection refused";
      done(refused);
      return;
    }
    ++feedsSent;
    real_.send(std::move(request), [this, done = std::move(done)](HttpResponse response) {
      done(std::move(response));
      ++feedsDone;
      loop_.post([] {});  // wakes a test waiting for the count
    });
  }

  void download(HttpRequest request, std::function<void(DownloadResult)> done) override {
    ++downloadsSent;
    std::lock_guard lock(mutex_);
    held_.emplace_back(std::move(request), std::move(done));
  }

  void release() {
    std::vector<std::pair<HttpRequest, std::function<void(DownloadResult)>>> held;
    {
      std::lock_guard lock(mutex_);
      held.swap(held_);
    }
    for (auto& [request, done] : held) {
      real_.download(std::move(request), [this, done = std::move(done)](DownloadResult result) {
        done(std::move(result));
        ++downloadsDone;
        loop_.post([] {});
      });
    }
  }

  std::atomic<int> feedsSent{0};
  std::atomic<int> feedsDone{0};
  std::atomic<int> downloadsSent{0};
  std::atomic<int> downloadsDone{0};

 private:
  Http& real_;
  MainLoop& loop_;
  std::mutex mutex_;
  std::vector<std::pair<HttpRequest, std::function<void(DownloadResult)>>> held_;
};

class UpdateFlow : public ::testing::Test {
 protected:
  UpdateFlow() {
    const auto engine = test.sandbox.write(
        "Kestrova.app/Contents/Resources/engine/runtime/kestrova-engine", "#!/bin/sh\n");
    fs::permissions(engine, fs::perms::owner_all);
    test.host.resources = test.sandbox.path("Kestrova.app/Contents/Resources");
    test.sandbox.write("Library/Application Support/Kestrova/config.json",
                       R"({"port": 1, "update_feed": ")" + server.url("/appcast.json") + R"("})");
    test.sandbox.write("Library/LaunchAgents/com.talmiro.kestrova.engine.plist",
                       "<plist><string>" + engine + "</string></plist>");
    runner.answer(kPrint, kOk);
    server.on("GET", "/Kestrova-1.1.0.dmg", reply(200, "image bytes"));
  }

  void publish(const std::string& version, const std::string& notes = "") {
    server.on(
        "GET", "/appcast.json",
        reply(200, R"({"version": ")" + version + R"(", "url": ")" +
                       server.url("/Kestrova-" + version + ".dmg") + R"(", "sha256": ")" + kDigest +
                       R"(", "published": 1780000000, "notes": ")" + notes + R"("})"));
  }

  void launch() {
    delegate->applicationDidFinishLaunching();
    test.loop.runUntilIdle();
    ASSERT_TRUE(test.ui.alerts.empty()) << test.ui.alerts.front().message;
    runner.clearCalls();
  }

  // Runs the main loop until `count` feed replies have been handed over, then runs what they
  // posted.
  void awaitFeeds(int count) {
    ASSERT_TRUE(test.loop.runUntil([&] { return http.feedsDone >= count; }, kHangGuard));
    test.loop.runUntilIdle();
  }
  void finishDownloads(int count = 1) {
    http.release();
    ASSERT_TRUE(test.loop.runUntil([&] { return http.downloadsDone >= count; }, kHangGuard));
    test.loop.runUntilIdle();
  }

  // What the verification tools say about the downloaded image.
  void verificationSays(const std::string& digest) {
    const auto image = Updater::imagePath("1.1.0");
    runner.answer("/usr/bin/shasum -a 256 " + image, ShellResult{0, digest + "  " + image + "\n"});
    runner.answer("/usr/sbin/spctl -a -t open --context context:primary-signature -v " + image,
                  ShellResult{0, image + ": accepted\nsource=Notarized Developer ID\n"});
  }

  // The offer of 1.1.0 is accepted.
  void acceptOffer() {
    publish("1.1.0");
    test.ui.answers.push_back(ScriptedAnswer{kAlertFirstButton, {}, 0});
    delegate->checkForUpdates();
    awaitFeeds(http.feedsDone + 1);
    ASSERT_EQ(http.downloadsSent, 1);
  }

  // One check, scheduled (quiet) or from the menu, run until its feed reply has been handled.
  void check(bool quiet) {
    quiet ? delegate->runUpdateCheck(true) : delegate->checkForUpdates();
    awaitFeeds(http.feedsDone + 1);
  }

  // The server outlives the HTTP client, whose kept-alive connections would otherwise hold up
  // the server's shutdown.
  LoopbackServer server;
  ScriptedRunner runner;
  TestPlatform test{Tools{}, &runner};
  RoutedHttp http{*test.http, test.loop};
  Platform routed{test.loop, http, test.ui, test.host, runner, Tools{}};
  ScopedPlatform installed{routed};
  std::shared_ptr<AppDelegate> delegate = AppDelegate::create();
};

AlertSpec okAlert(const std::string& message, const std::string& informative) {
  return AlertSpec{message, informative, {"OK"}, std::nullopt};
}

AlertSpec offer(const std::string& version, const std::string& informative) {
  return AlertSpec{
      "Kestrova " + version + " is available", informative, {"Update Now", "Later"}, std::nullopt};
}

TEST_F(UpdateFlow, QuietChecksSpeakOnlyOfANewerRelease) {
  launch();
  server.on("GET", "/appcast.json", reply(502, "<html>Bad Gateway</html>"));
  check(true);
  for (const char* notNewer : {"1.0.0", "0.9.9"}) {
    publish(notNewer);
    check(true);
  }
  EXPECT_TRUE(test.ui.alerts.empty());

  publish("1.0.1");
  test.ui.answers.push_back(ScriptedAnswer{kLater, {}, 0});
  check(true);
  ASSERT_EQ(test.ui.alerts.size(), 1u);
  EXPECT_EQ(test.ui.alerts[0].message, "Kestrova 1.0.1 is available");
  EXPECT_EQ(http.downloadsSent, 0);
}

TEST_F(UpdateFlow, MenuChecksReportEveryOutcome) {
  launch();
  server.on("GET", "/appcast.json", reply(200, R"({"version": 2})"));
  check(false);
  publish("1.0.0");
  check(false);
  // Without a version of its own the running copy is version "0".
  test.host.info.erase("CFBundleShortVersionString");
  publish("0.0");
  check(false);
  test.ui.answers.push_back(ScriptedAnswer{kLater, {}, 0});
  publish("0.0.1");
  check(false);
  EXPECT_EQ(test.ui.alerts,
            (std::vector<AlertSpec>{
                okAlert("Could not check for updates",
                        "The update feed was unreachable. Check the internet connection."),
                okAlert("You are up to date", "Kestrova 1.0.0 is the newest version."),
                okAlert("You are up to date", "Kestrova 0 is the newest version."),
                offer("0.0.1", "You have 0.\n\n" + kBroadcast)}));
}

TEST_F(UpdateFlow, ChecksRunTwoMinutesAfterLaunchAndThenDaily) {
  // Release notes, when the feed has any, come between the versions and the broadcast warning
  // (without them, as in the menu checks above, the two follow each other).
  publish("1.1.0", "Smoother playback.\\nFewer stalls.");
  for (int i = 0; i < 3; ++i) {
    test.ui.answers.push_back(ScriptedAnswer{kLater, {}, 0});
  }
  launch();
  test.loop.advance(119.5);
  EXPECT_EQ(http.feedsSent, 0);
  test.loop.advance(0.5);
  EXPECT_EQ(http.feedsSent, 1);
  awaitFeeds(1);
  test.loop.advance(86'400 - 120 - 0.5);
  EXPECT_EQ(http.feedsSent, 1);
  test.loop.advance(0.5);
  EXPECT_EQ(http.feedsSent, 2);
  awaitFeeds(2);
  test.loop.advance(86'400);
  EXPECT_EQ(http.feedsSent, 3);
  awaitFeeds(3);
  // Each scheduled check offers the release again: "Later" is not remembered.
  const auto expected =
      offer("1.1.0", "You have 1.0.0.\n\nSmoother playback.\nFewer stalls.\n\n" + kBroadcast);
  EXPECT_EQ(test.ui.alerts, (std::vector<AlertSpec>{expected, expected, expected}));
}

TEST_F(UpdateFlow, AFailedVerificationGreysTheItemOnlyWhileItRuns) {
  launch();
  verificationSays(std::string(64, '0'));
  acceptOffer();
  EXPECT_TRUE(test.ui.statusItem->appearsDisabled);

  // While the download runs, neither a check nor another "Update Now" starts anything.
  const auto alertsBefore = test.ui.alerts.size();
  delegate->checkForUpdates();
  test.ui.answers.push_back(ScriptedAnswer{kAlertFirstButton, {}, 0});
  delegate->offerUpdate(
      Updater::Release{"1.1.0", server.url("/Kestrova-1.1.0.dmg"), kDigest, "", 0, false});
  EXPECT_EQ(http.feedsSent, 1);
  EXPECT_EQ(http.downloadsSent, 1);
  EXPECT_EQ(test.ui.alerts.size(), alertsBefore + 1);  // the offer itself, and nothing else

  finishDownloads();
  EXPECT_FALSE(test.ui.statusItem->appearsDisabled);
  EXPECT_EQ(test.ui.alerts.back(),
            okAlert("Update not installed",
                    "The downloaded file did not match the published checksum, so it was "
                    "discarded. Try again later."));
  EXPECT_FALSE(fs::exists(Updater::imagePath("1.1.0")));
  EXPECT_EQ(runner.count(kBootout), 0u) << "the engine was never interrupted";
  EXPECT_TRUE(test.host.spawned().empty());
  EXPECT_FALSE(test.ui.terminated);
}

TEST_F(UpdateFlow, AVerifiedImageIsHandedToTheHelperAndTheAppQuits) {
  launch();
  verificationSays(kDigest);
  runner.answer(kPrint, std::vector<ShellResult>{kOk, kUnknownService});
  acceptOffer();
  finishDownloads();
  EXPECT_FALSE(test.ui.statusItem->appearsDisabled);

  const auto script = Updater::helperScriptPath();
  EXPECT_EQ(test.sandbox.read("Library/Application Support/Kestrova/updates/swap.sh"),
            Updater::helperScript(Tools{}));
  EXPECT_EQ(fs::status(script).permissions(), fs::perms(0755));
  EXPECT_EQ(runner.count(kBootout), 1u);
  EXPECT_EQ(test.host.spawned(), (std::vector<std::vector<std::string>>{
                                     {"/bin/bash", script, "4242", "/Applications/Kestrova.app",
                                      Updater::imagePath("1.1.0"), Updater::helperLogPath()}}));
  EXPECT_TRUE(fs::exists(Updater::imagePath("1.1.0"))) << "the helper deletes it after the swap";

  EXPECT_FALSE(test.ui.terminated);
  test.loop.advance(0.29);
  EXPECT_FALSE(test.ui.terminated);
  test.loop.advance(0.01);
  EXPECT_TRUE(test.ui.terminated);
  EXPECT_EQ(test.ui.alerts.size(), 1u) << "only the offer";
}

TEST_F(UpdateFlow, AHelperThatCannotStartBringsTheAgentBackByInstalling) {
  Tools noBash;
  noBash.bash = test.sandbox.path("no-such-bash");
  Platform withoutBash{test.loop, http, test.ui, test.host, runner, noBash};
  ScopedPlatform swapped{withoutBash};
  test.host.realSpawns = true;
  launch();
  verificationSays(kDigest);
  runner.answer(kPrint, kUnknownService);  // gone once stopped, and until bootstrapped again
  acceptOffer();
  finishDownloads();

  EXPECT_EQ(test.ui.alerts.back(),
            okAlert("Update not installed",
                    "Could not start the update helper: No such file or directory"));
  const auto calls = runner.calls();
  const auto bootstrap = kLaunchctl + " bootstrap gui/501 " + Paths::agentPlist();
  EXPECT_EQ(runner.count(kBootout), 2u) << "stopped for the swap, and again by the install";
  EXPECT_GE(runner.count(bootstrap), 1u);
  EXPECT_EQ(runner.count(kKickstart), 0u);
  EXPECT_FALSE(test.ui.terminated);
  test.loop.advance(1);
  EXPECT_FALSE(test.ui.terminated);
}

// The engine was never stopped, so it is not restarted either: the broadcast goes on untouched.
TEST_F(UpdateFlow, AHelperThatCannotBeWrittenLeavesTheRunningEngineAlone) {
  launch();
  verificationSays(kDigest);
  // A folder where the script goes cannot be replaced by a file.
  test.sandbox.write("Library/Application Support/Kestrova/updates/swap.sh/occupied", "x");
  acceptOffer();
  finishDownloads();

  EXPECT_EQ(test.ui.alerts.back(),
            okAlert("Update not installed", "Could not write the update helper: Is a directory"));
  EXPECT_EQ(runner.count(kBootout), 0u);
  EXPECT_EQ(runner.count(kKickstart), 0u);
  EXPECT_TRUE(test.host.spawned().empty());
  test.loop.advance(1);
  EXPECT_FALSE(test.ui.terminated);
}

}  // namespace
}  // namespace kestrova
