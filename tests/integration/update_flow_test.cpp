// The update flow through the controller: scheduled and menu checks, the offer, the download with
// the status item greyed, and what happens when the swap cannot start.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/platform/modal_scope.h"
#include "app/update/helper_script.h"
#include "app/update/product_site.h"
#include "app/update/update_feed.h"
#include "app/update/update_paths.h"
#include "tests/integration/controller_fixture.h"

namespace kestrova::testing {
namespace {

namespace fs = std::filesystem;

const std::string kDigest = "5e884898da28047151d0e56f8dc6292773603d0d6aabbdd62a11ef721d1542d8";
const std::string kBroadcast =
    "Updating stops the broadcast for about a minute; it resumes by itself from where it stopped.";

AlertSpec offer(const std::string& version, const std::string& informative) {
  return AlertSpec{
      "Kestrova " + version + " is available", informative, {"Update Now", "Later"}, std::nullopt};
}

// Launched with nothing to ask; the feed and the image are published by each test.
struct UpdateFlow : ControllerTest {
  UpdateFlow() {
    launchSettled();
    http.on("/Kestrova-1.1.0.dmg", "image bytes");
    platform.sandbox.write("Apps/Kestrova.app/Contents/Info.plist", "");
    platform.host.bundle = platform.sandbox.path("Apps/Kestrova.app");
    platform.host.env["KESTROVA_ALLOW_ANYWHERE"] = "1";  // where the agent may run it all the same
  }
  // The feed's body decides, whatever the status it comes with.
  void publish(const std::string& version, const std::string& notes = "", long status = 200) {
    http.on("/appcast.json",
            R"({"version": ")" + version + R"(", "url": "https://feed.example/Kestrova-)" +
                version + R"(.dmg", "sha256": ")" + kDigest + R"(", "published": 1, "notes": ")" +
                notes + R"("})",
            0, status);
  }
  [[nodiscard]] std::size_t feeds() const { return http.count("/appcast.json"); }
  [[nodiscard]] std::size_t downloads() const { return http.count("/Kestrova-1.1.0.dmg"); }
  void check(bool quiet) {
    quiet ? delegate->runUpdateCheck(true) : delegate->checkForUpdates();
    platform.loop.runUntilIdle();
  }
  // The verification tools' verdict on the downloaded image, then the offer accepted.
  void acceptOfferAndDownload(const std::string& digest = kDigest) {
    const auto image = Updater::imagePath("1.1.0");
    runner.answer("/usr/bin/shasum -a 256 " + image, ShellResult{0, digest + "  " + image + "\n"});
    runner.answer("/usr/sbin/spctl -a -t open --context context:primary-signature -v " + image,
                  ShellResult{0, image + ": accepted\nsource=Notarized Developer ID\n"});
    // The bundle inside, where the checks find it once the (scripted) attach has succeeded.
    const auto mount = Updater::updatesDir() + "/mount";
    runner.answer("/usr/bin/hdiutil attach -nobrowse -readonly -mountpoint " + mount + " " + image,
                  kOk);
    writeFile(
        mount + "/Kestrova.app/Contents/Info.plist",
        "<plist><dict><key>CFBundleShortVersionString</key><string>1.1.0</string></dict></plist>");
    publish("1.1.0");
    platform.ui.answers.push_back(answerWith(kAlertFirstButton));
    check(false);
    ASSERT_TRUE(downloads() == 1 && item().appearsDisabled);
  }
  // The download arrives; its checks run on a thread of their own and their verdict comes back.
  void finishDownload() {
    http.finishDownload(platform.sandbox.path("download"));
    ASSERT_TRUE(platform.loop.runUntil([&] { return !item().appearsDisabled; }));
  }
};

TEST_F(UpdateFlow, QuietChecksSpeakOnlyOfANewerReleaseAndMenuChecksOfEveryOutcome) {
  check(true);  // unreachable
  publish("1.0.0");
  check(true);
  http.on("/appcast.json", R"({"version": 2})");
  check(false);
  publish("0.9.9", "", 503);
  check(false);
  // Without a version of its own the running copy is version "0".
  platform.host.info.erase("CFBundleShortVersionString");
  platform.ui.answers.push_back(answerWith(kSecondButton));
  publish("0.0.1");
  check(true);
  EXPECT_EQ(alerts(), (std::vector<AlertSpec>{
                          ok("Could not check for updates",
                             "The update feed was unreachable. Check the internet connection."),
                          ok("You are up to date", "Kestrova 1.0.0 is the newest version."),
                          offer("0.0.1", "You have 0.\n\n" + kBroadcast)}));
  EXPECT_EQ(downloads(), 0u);
  // The feed the config names; every check reaches the server, within a minute.
  const HttpRequest& feed = http.sent.at(1);
  EXPECT_EQ(std::tuple(feed.url, feed.cachePolicy, feed.timeoutSeconds),
            std::tuple("https://feed.example/appcast.json", CachePolicy::ignoreLocalCache, 60.0));
  for (const char* config : {"not json", R"({"update_feed": "feed.json"})",
                             R"({"update_feed": "https://x.example/a b"})"}) {
    platform.sandbox.write(kConfigFile, config);
    EXPECT_EQ(Updater::feedURL(), kFeedURL) << "the default unless the config names a usable URL";
  }
}

// "Later" is not remembered: each scheduled check offers the release again.
TEST_F(UpdateFlow, ChecksRunTwoMinutesAfterLaunchAndThenDaily) {
  publish("1.1.0", "Smoother playback.\\nFewer stalls.");
  for (int i = 0; i < 2; ++i) platform.ui.answers.push_back(answerWith(kSecondButton));
  for (const double wait : {119.9, 0.1, 86'400 - 120 - 0.1, 0.1}) {
    const std::size_t before = feeds();
    platform.loop.advance(wait);
    EXPECT_EQ(feeds(), before + (wait < 1 ? 1 : 0)) << "after " << platform.loop.now();
  }
  const auto expected =
      offer("1.1.0", "You have 1.0.0.\n\nSmoother playback.\nFewer stalls.\n\n" + kBroadcast);
  EXPECT_EQ(alerts(), (std::vector<AlertSpec>{expected, expected}));
}

TEST_F(UpdateFlow, AFailedVerificationGreysTheItemOnlyWhileItRuns) {
  acceptOfferAndDownload(std::string(64, '0'));
  // While the download runs, neither a check nor another "Update Now" starts anything.
  delegate->checkForUpdates();
  platform.ui.answers.push_back(answerWith(kAlertFirstButton));
  delegate->offerUpdate(
      Updater::Release{"1.1.0", "https://feed.example/Kestrova-1.1.0.dmg", kDigest, "", 0, false});
  EXPECT_EQ(feeds() + downloads(), 2u);
  // A large image on a slow line: only a minute without data fails it, not its length.
  const HttpRequest& download = http.sent.at(2);
  EXPECT_EQ(std::tuple(download.idleSeconds, download.timeoutSeconds), std::tuple(60.0, 604'800.0));
  finishDownload();  // which waits for the item to be enabled again
  EXPECT_EQ(alerts().back().message, "Update not installed");  // the reason is the verifier's
  EXPECT_TRUE(runner.count(kBootout) == 0 && platform.host.spawned().empty());
  delegate->checkForUpdates();  // finished: a check runs again
  EXPECT_EQ(feeds(), 2u);
}

// The helper waits for the app to quit: an alert left open must not hold the quit, or nothing
// would broadcast until someone came to close it.
TEST_F(UpdateFlow, AnUpdateFinishingUnderAnOpenAlertQuitsAtOnce) {
  acceptOfferAndDownload();
  const ModalScope alertLeftOpen(platform.loop);
  finishDownload();
  platform.loop.advance(4 * 3600);
  EXPECT_TRUE(platform.ui.terminated);
  // Each verification tool gets long enough for a large image on a slow disk.
  const auto limit = [&](const std::string& tool) { return runner.limitOf("/usr/bin/" + tool); };
  EXPECT_EQ(std::pair(limit("shasum"), limit("codesign")), std::pair(600.0, 60.0));
  EXPECT_EQ(std::pair(limit("hdiutil attach"), limit("hdiutil detach")), std::pair(600.0, 60.0));
}

// Run from a plain folder (a bare executable), the copy is not replaced: neither by the app, which
// keeps broadcasting, nor by the helper, which would move that folder aside and delete it.
TEST_F(UpdateFlow, OnlyABundleIsEverReplaced) {
  const std::string dir = platform.sandbox.path("Tools"), dmg = platform.sandbox.path("K.dmg");
  platform.sandbox.write("Tools/kestrova", "mine");
  platform.sandbox.write("image/Kestrova.app/Contents/Info.plist", "");
  const Tools tools = standinTools();
  const std::vector<std::string> create{"create", "-srcfolder", platform.sandbox.path("image"),
                                        dmg};
  ASSERT_EQ(platform.realRunner.run(tools.hdiutil, create, 0).status, 0);
  const auto helper = platform.realRunner.run(
      "/bin/bash", {"-c", Updater::helperScript(tools), "-", "999999", dir, dmg, dir + ".log"}, 0);
  EXPECT_TRUE(helper.status == 1 && platform.sandbox.read("Tools/kestrova") == "mine");
  platform.host.bundle = dir;
  acceptOfferAndDownload();
  finishDownload();
  EXPECT_TRUE(alerts().back().informative.starts_with(
      "Kestrova is not running from an application bundle, so it cannot replace itself."));
  EXPECT_TRUE(runner.count(kBootout) == 0 && platform.host.spawned().empty());
}

// A swap that cannot start must leave the engine running: installed again when it was already
// stopped (no shell to run the helper), left alone when it never was (a folder where it goes).
TEST(UpdateHelperFailure, BringsTheEngineBackAndKeepsTheAppRunning) {
  for (const bool helperWritten : {false, true}) {
    UpdateFlow f;
    Tools noBash;
    noBash.bash = f.platform.sandbox.path("no-such-bash");
    Platform withoutBash{f.platform.loop, f.http, f.platform.ui, f.platform.host, f.runner, noBash};
    std::optional<ScopedPlatform> swapped;
    if (helperWritten) {
      swapped.emplace(withoutBash);
      f.platform.host.realSpawns = true;
      f.runner.answer(kPrint, kUnknownService);  // gone once stopped, until installed again
      f.loadSucceeds();
    } else {
      f.platform.sandbox.write("Library/Application Support/Kestrova/updates/swap.sh/x", "x");
    }
    f.acceptOfferAndDownload();
    f.finishDownload();
    EXPECT_EQ(f.alerts().back().informative,
              helperWritten ? "Could not start the update helper: No such file or directory"
                            : "Could not write the update helper: Is a directory");
    // Stopped for the swap and again by the install, or not touched at all.
    EXPECT_EQ(std::tuple(f.runner.count(kBootout), f.runner.count(f.bootstrapLine) > 0,
                         f.runner.count(kKickstart)),
              helperWritten ? std::tuple(2u, true, 0u) : std::tuple(0u, false, 0u));
    f.platform.loop.advance(1);
    EXPECT_FALSE(f.platform.ui.terminated);
  }
}

}  // namespace
}  // namespace kestrova::testing
