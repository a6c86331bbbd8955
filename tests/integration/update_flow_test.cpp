// The update flow through the controller: scheduled and menu checks, the offer, the download with
// the status item greyed, and what happens when the swap cannot start.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

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

AlertSpec ok(const std::string& message, const std::string& informative) {
  return AlertSpec{message, informative, {"OK"}, std::nullopt};
}
AlertSpec offer(const std::string& version, const std::string& informative) {
  return AlertSpec{
      "Kestrova " + version + " is available", informative, {"Update Now", "Later"}, std::nullopt};
}

class UpdateFlow : public ControllerTest {
 protected:
  UpdateFlow() {
    writeAgentFile(enginePath());
    serviceLoaded(true);
    http.on("/Kestrova-1.1.0.dmg", "image bytes");
  }
  // The feed's body decides, whatever the status it comes with.
  void publish(const std::string& version, const std::string& notes = "", long status = 200) {
    http.on("/appcast.json",
            R"({"version": ")" + version + R"(", "url": "https://feed.example/Kestrova-)" +
                version + R"(.dmg", "sha256": ")" + kDigest +
                R"(", "published": 1780000000, "notes": ")" + notes + R"("})",
            0, status);
  }
  void launchQuietly() {
    launch();
    platform.loop.runUntilIdle();
    ASSERT_TRUE(alerts().empty());
    runner.clearCalls();
  }
  [[nodiscard]] std::size_t feeds() const { return http.count("/appcast.json"); }
  [[nodiscard]] std::size_t downloads() const { return http.count("/Kestrova-1.1.0.dmg"); }
  void check(bool quiet) {
    quiet ? delegate->runUpdateCheck(true) : delegate->checkForUpdates();
    platform.loop.runUntilIdle();
  }
  // What the verification tools say about the downloaded image.
  void verificationSays(const std::string& digest) {
    const auto image = Updater::imagePath("1.1.0");
    runner.answer("/usr/bin/shasum -a 256 " + image, ShellResult{0, digest + "  " + image + "\n"});
    runner.answer("/usr/sbin/spctl -a -t open --context context:primary-signature -v " + image,
                  ShellResult{0, image + ": accepted\nsource=Notarized Developer ID\n"});
  }
  void acceptOfferAndDownload() {
    publish("1.1.0");
    platform.ui.answers.push_back(answerWith(kAlertFirstButton));
    const std::size_t before = downloads();
    check(false);
    ASSERT_EQ(downloads(), before + 1);
    http.finishDownloads(platform.sandbox.path("tmp"));
  }
};

TEST_F(UpdateFlow, QuietChecksSpeakOnlyOfANewerReleaseAndMenuChecksOfEveryOutcome) {
  launchQuietly();
  check(true);  // unreachable
  for (const char* notNewer : {"1.0.0", "0.9.9"}) {
    publish(notNewer);
    check(true);
  }
  EXPECT_TRUE(alerts().empty());
  http.on("/appcast.json", R"({"version": 2})");
  check(false);
  publish("1.0.0", "", 503);
  check(false);
  // Without a version of its own the running copy is version "0".
  platform.host.info.erase("CFBundleShortVersionString");
  publish("0.0");
  check(false);
  platform.ui.answers.push_back(answerWith(kSecondButton));
  publish("0.0.1");
  check(true);
  EXPECT_EQ(alerts(), (std::vector<AlertSpec>{
                          ok("Could not check for updates",
                             "The update feed was unreachable. Check the internet connection."),
                          ok("You are up to date", "Kestrova 1.0.0 is the newest version."),
                          ok("You are up to date", "Kestrova 0 is the newest version."),
                          offer("0.0.1", "You have 0.\n\n" + kBroadcast)}));
  EXPECT_EQ(downloads(), 0u);
  for (const HttpRequest& sent : http.requests()) {
    if (sent.url.ends_with("/appcast.json")) {
      EXPECT_EQ(sent.url, "https://feed.example/appcast.json");
      EXPECT_EQ(sent.cachePolicy, CachePolicy::ignoreLocalCache);
    }
  }
}

TEST(FeedLocation, TheDefaultUnlessTheConfigNamesAUsableURL) {
  TestPlatform test;
  const auto feedWith = [&](const std::string& config) {
    test.sandbox.write(kConfigFile, config);
    return Updater::feedURL();
  };
  EXPECT_EQ(Updater::feedURL(), "https://kestrova.talmiro.com/appcast.json");
  for (const char* config : {"not json", R"("https://x.example/feed")", R"({"update_feed": ""})",
                             R"({"update_feed": 5})", R"({"update_feed": "feed.json"})",
                             R"({"update_feed": "https://x.example/a b"})"}) {
    EXPECT_EQ(feedWith(config), kFeedURL) << config;
  }
  EXPECT_EQ(feedWith(R"({"update_feed": "https://mirror.example/feed.json", "port": 9000})"),
            "https://mirror.example/feed.json");
}

// "Later" is not remembered: each scheduled check offers the release again.
TEST_F(UpdateFlow, ChecksRunTwoMinutesAfterLaunchAndThenDaily) {
  publish("1.1.0", "Smoother playback.\\nFewer stalls.");
  for (int i = 0; i < 2; ++i) platform.ui.answers.push_back(answerWith(kSecondButton));
  launchQuietly();
  platform.loop.advance(119.9);
  EXPECT_EQ(feeds(), 0u);
  platform.loop.advance(0.1);
  EXPECT_EQ(feeds(), 1u);
  platform.loop.advance(86'400 - 120 - 0.1);  // daily from launch
  EXPECT_EQ(feeds(), 1u);
  platform.loop.advance(0.1);
  EXPECT_EQ(feeds(), 2u);
  const auto expected =
      offer("1.1.0", "You have 1.0.0.\n\nSmoother playback.\nFewer stalls.\n\n" + kBroadcast);
  EXPECT_EQ(alerts(), (std::vector<AlertSpec>{expected, expected}));
}

TEST_F(UpdateFlow, AFailedVerificationGreysTheItemOnlyWhileItRuns) {
  launchQuietly();
  verificationSays(std::string(64, '0'));
  publish("1.1.0");
  platform.ui.answers.push_back(answerWith(kAlertFirstButton));
  check(false);
  EXPECT_TRUE(item().appearsDisabled);
  // While the download runs, neither a check nor another "Update Now" starts anything.
  delegate->checkForUpdates();
  platform.ui.answers.push_back(answerWith(kAlertFirstButton));
  delegate->offerUpdate(
      Updater::Release{"1.1.0", "https://feed.example/Kestrova-1.1.0.dmg", kDigest, "", 0, false});
  EXPECT_EQ(feeds(), 1u);
  EXPECT_EQ(downloads(), 1u);
  EXPECT_EQ(alerts().size(), 2u) << "the two offers, and nothing else";

  http.finishDownloads(platform.sandbox.path("tmp"));
  EXPECT_FALSE(item().appearsDisabled);
  EXPECT_EQ(alerts().back(),
            ok("Update not installed",
               "The downloaded file did not match the published checksum, so it was discarded. "
               "Try again later."));
  EXPECT_FALSE(fs::exists(Updater::imagePath("1.1.0")));
  EXPECT_EQ(runner.count(kBootout), 0u) << "the engine was never interrupted";
  EXPECT_TRUE(platform.host.spawned().empty());
}

TEST_F(UpdateFlow, AVerifiedImageIsHandedToTheHelperAndTheAppQuits) {
  launchQuietly();
  verificationSays(kDigest);
  runner.answer(kPrint, std::vector<ShellResult>{kOk, kUnknownService});
  acceptOfferAndDownload();
  EXPECT_FALSE(item().appearsDisabled);
  const auto script = Updater::helperScriptPath();
  EXPECT_EQ(platform.sandbox.read("Library/Application Support/Kestrova/updates/swap.sh"),
            Updater::helperScript(Tools{}));
  EXPECT_EQ(fs::status(script).permissions(), fs::perms(0755));
  EXPECT_EQ(runner.count(kBootout), 1u);
  EXPECT_EQ(platform.host.spawned(), (std::vector<std::vector<std::string>>{
                                         {"/bin/bash", script, "4242", "/Applications/Kestrova.app",
                                          Updater::imagePath("1.1.0"), Updater::helperLogPath()}}));
  EXPECT_EQ(
      platform.sandbox.read("Library/Application Support/Kestrova/updates/Kestrova-1.1.0.dmg"),
      "image bytes");
  platform.loop.advance(0.29);
  EXPECT_FALSE(platform.ui.terminated);
  platform.loop.advance(0.01);
  EXPECT_TRUE(platform.ui.terminated);
  EXPECT_EQ(alerts().size(), 1u) << "only the offer";
}

// A swap that cannot start must leave the engine running: installed again when it was already
// stopped, restarted when it was not.
TEST_F(UpdateFlow, AHelperThatCannotStartBringsTheEngineBackByInstalling) {
  Tools noBash;
  noBash.bash = platform.sandbox.path("no-such-bash");
  Platform withoutBash{platform.loop, http, platform.ui, platform.host, runner, noBash};
  ScopedPlatform swapped{withoutBash};
  platform.host.realSpawns = true;
  launchQuietly();
  verificationSays(kDigest);
  runner.answer(kPrint, kUnknownService);  // gone once stopped, and until bootstrapped again
  loadSucceeds();
  acceptOfferAndDownload();
  EXPECT_EQ(alerts().back(), ok("Update not installed",
                                "Could not start the update helper: No such file or directory"));
  EXPECT_EQ(runner.count(kBootout), 2u) << "stopped for the swap, and again by the install";
  EXPECT_GE(runner.count(bootstrapLine()), 1u);
  EXPECT_EQ(runner.count(kKickstart), 0u);
  platform.loop.advance(1);
  EXPECT_FALSE(platform.ui.terminated);
}

// The engine was never stopped, so it is not restarted either: the broadcast goes on untouched.
TEST_F(UpdateFlow, AHelperThatCannotBeWrittenLeavesTheRunningEngineAlone) {
  launchQuietly();
  verificationSays(kDigest);
  // A folder where the script goes cannot be replaced by a file.
  platform.sandbox.write("Library/Application Support/Kestrova/updates/swap.sh/occupied", "x");
  acceptOfferAndDownload();
  EXPECT_EQ(alerts().back(),
            ok("Update not installed", "Could not write the update helper: Is a directory"));
  EXPECT_EQ(runner.count(kBootout), 0u);
  EXPECT_EQ(runner.count(kKickstart), 0u);
  platform.loop.advance(1);
  EXPECT_FALSE(platform.ui.terminated);
}

}  // namespace
}  // namespace kestrova::testing
