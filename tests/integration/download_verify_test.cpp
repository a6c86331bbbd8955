// Downloading and verifying an update image over real HTTP with the real shasum and the
// stand-in spctl and codesign.
#include "app/update/download_verify.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <thread>

#include "app/engine/shell.h"
#include "app/update/release_feed.h"
#include "app/update/update_paths.h"
#include "tests/support/loopback_server.h"
#include "tests/support/sandbox.h"
#include "tests/support/test_platform.h"

namespace kestrova::Updater {
namespace {

namespace fs = std::filesystem;
using testing::LoopbackReply;
using testing::LoopbackServer;
using testing::readFile;
using testing::TestPlatform;

const std::string kTeam = "TEAM123456";
const std::string kChecksumMessage =
    "The downloaded file did not match the published checksum, so it was discarded. "
    "Try again later.";
const std::string kUnverified =
    "The update could not be verified, so it was discarded. Please report this to "
    "support@talmiro.com. (spctl rc=";
const std::string kOtherDeveloper =
    "The update was signed by a different developer, so it was discarded. Please report this "
    "to support@talmiro.com.";

struct Outcome {
  std::optional<std::string> image;
  std::optional<std::string> message;
};

class DownloadVerify : public ::testing::Test {
 protected:
  DownloadVerify() {
    // The running copy, signed by our team unless a test says otherwise.
    test.host.bundle = test.sandbox.path("Applications/Kestrova.app");
    signApp(kTeam);
  }

  void signApp(const std::string& team) {
    test.sandbox.write("Applications/Kestrova.app/Contents/_CodeSignature/team", team + "\n");
  }
  void unsignApp() { fs::remove_all(test.sandbox.path("Applications/Kestrova.app/Contents")); }

  // A stand-in image holding a bundle, signed with `team` (none when empty), optionally with a
  // dictated Gatekeeper verdict. Returns its bytes.
  std::string makeImage(const std::string& team, const std::string& verdict = "") {
    const std::string source = "image-source-" + std::to_string(images_++);
    test.sandbox.write(source + "/Kestrova.app/Contents/Info.plist", "<plist/>");
    if (!verdict.empty()) {
      test.sandbox.write(source + "/.signature/gatekeeper", verdict);
    }
    const auto image = test.sandbox.path(source + ".dmg");
    const auto& tools = test.get().tools();
    EXPECT_EQ(
        shell(tools.hdiutil, {"create", "-srcfolder", test.sandbox.path(source), image}).status, 0);
    if (!team.empty()) {
      EXPECT_EQ(shell(tools.codesign, {"-s", team, image}).status, 0);
    }
    return readFile(image);
  }

  static std::string digestOf(const std::string& bytes, const std::string& where) {
    testing::writeFile(where, bytes);
    const auto sum = shell("/usr/bin/shasum", {"-a", "256", where});
    return sum.output.substr(0, sum.output.find(' '));
  }

  // The release as a feed would publish it, serving `bytes` as the image.
  Release publish(const std::string& bytes, const std::string& version = "1.1.0",
                  int status = 200) {
    server.on(
        "GET", "/Kestrova.dmg",
        LoopbackReply{.status = status, .body = bytes, .contentType = "application/octet-stream"});
    const auto digest = digestOf(bytes, test.sandbox.path("digest-input"));
    auto release =
        parseRelease(R"({"version": ")" + version + R"(", "url": ")" + server.url("/Kestrova.dmg") +
                     R"(", "sha256": ")" + digest + R"(", "published": 1780000000})");
    EXPECT_TRUE(release);
    return release.value_or(Release{});
  }

  Outcome run(const Release& release) {
    std::optional<Outcome> outcome;
    int calls = 0;
    const auto mainThread = std::this_thread::get_id();
    downloadAndVerify(
        release, [&](std::optional<std::string> image, std::optional<std::string> message) {
          ++calls;
          EXPECT_EQ(std::this_thread::get_id(), mainThread);
          EXPECT_NE(image.has_value(), message.has_value()) << "exactly one of path and message";
          outcome = Outcome{std::move(image), std::move(message)};
        });
    EXPECT_TRUE(test.loop.runUntil([&] { return outcome.has_value(); }));
    test.loop.runUntilIdle();
    EXPECT_EQ(calls, 1);
    return outcome.value_or(Outcome{});
  }

  // The server outlives the HTTP client, whose kept-alive connections would otherwise hold up
  // the server's shutdown.
  LoopbackServer server;
  TestPlatform test{testing::standinTools()};
  int images_ = 0;
};

TEST_F(DownloadVerify, AVerifiedImageReplacesAnEarlierFileAndStaysAtItsPath) {
  test.sandbox.write("Library/Application Support/Kestrova/updates/Kestrova-1.1.0.dmg", "old");
  const auto bytes = makeImage(kTeam);
  const auto outcome = run(publish(bytes));
  EXPECT_EQ(outcome.message, std::nullopt);
  ASSERT_EQ(outcome.image, imagePath("1.1.0"));
  EXPECT_EQ(*outcome.image,
            test.sandbox.path("Library/Application Support/Kestrova/updates/Kestrova-1.1.0.dmg"));
  EXPECT_EQ(readFile(*outcome.image), bytes);
}

TEST_F(DownloadVerify, AnErrorPageIsSavedAndFailsTheChecksum) {
  auto release = publish(makeImage(kTeam));
  server.on("GET", "/Kestrova.dmg",
            LoopbackReply{.status = 404, .body = "not found", .contentType = "text/plain"});
  const auto outcome = run(release);
  EXPECT_EQ(outcome.message, kChecksumMessage);
  EXPECT_FALSE(fs::exists(imagePath("1.1.0")));
}

TEST_F(DownloadVerify, DigestsCompareLowerCasedButUntrimmed) {
  const auto bytes = makeImage(kTeam);
  auto release = publish(bytes);
  // The feed's upper-case digest was lower-cased when read, so it matches.
  std::string upperDigest = release.sha256;
  for (char& c : upperDigest) c = static_cast<char>(std::toupper(c));
  auto upper = parseRelease(R"({"version": "1.1.0", "url": ")" + release.url + R"(", "sha256": ")" +
                            upperDigest + R"(", "published": 1})");
  ASSERT_TRUE(upper);
  EXPECT_EQ(run(*upper).message, std::nullopt);

  for (const std::string& padded : {" " + release.sha256, release.sha256 + " "}) {
    Release spaced = release;
    spaced.sha256 = padded;
    EXPECT_EQ(run(spaced).message, kChecksumMessage);
    EXPECT_FALSE(fs::exists(imagePath("1.1.0")));
  }
}

TEST_F(DownloadVerify, RefusedImagesAreDiscardedWithTheReason) {
  // The stand-in spctl's own words for an unsigned image, longer than the 120 kept.
  const std::string unsignedWords = imagePath("1.1.0") + ": rejected\nsource=no usable signature";
  ASSERT_GT(unsignedWords.size(), 120u);
  struct Case {
    std::string team;
    std::string verdict;  // dictated Gatekeeper verdict, "" for the stand-in's own
    std::string message;
  };
  const Case cases[] = {
      {kTeam, "0\nimage: rejected\n", kUnverified + "0: image: rejected)"},
      // Unsigned: the tool's own status and words, cut to 120 characters.
      {"", "", kUnverified + "3: " + unsignedWords.substr(0, 120) + ")"},
      // "accepted" with a failing status.
      {kTeam, "2\nx: accepted\n", kUnverified + "2: x: accepted)"},
      {"OTHERTEAM1", "", kOtherDeveloper},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(run(publish(makeImage(c.team, c.verdict))).message, c.message);
    EXPECT_FALSE(fs::exists(imagePath("1.1.0")));
  }
}

TEST_F(DownloadVerify, TheTeamCheckNeedsTwoTeams) {
  // An unsigned running copy: Gatekeeper alone decides.
  unsignApp();
  EXPECT_TRUE(run(publish(makeImage("OTHERTEAM1"))).image);
  // An ad-hoc signed running copy has no team either.
  signApp("adhoc");
  EXPECT_TRUE(run(publish(makeImage("OTHERTEAM1"))).image);
  // An image without a team that Gatekeeper accepts all the same.
  signApp(kTeam);
  EXPECT_TRUE(run(publish(makeImage("adhoc", "0\nimage: accepted\nsource=Stand-in\n"))).image);
}

TEST_F(DownloadVerify, AVersionWithASlashCannotBeSaved) {
  const auto outcome = run(publish(makeImage(kTeam), "1.1/beta"));
  EXPECT_EQ(outcome.message, "Could not save the download: No such file or directory");
  EXPECT_FALSE(
      fs::exists(test.sandbox.path("Library/Application Support/Kestrova/updates/Kestrova-1.1")));
}

TEST_F(DownloadVerify, ATransportFailureNamesTheError) {
  test.sandbox.write("Library/Application Support/Kestrova/updates/Kestrova-1.1.0.dmg", "old");
  Release release = publish(makeImage(kTeam));
  release.url = testing::closedURL("/Kestrova.dmg");
  const auto outcome = run(release);
  EXPECT_TRUE(std::regex_match(outcome.message.value_or(""),
                               std::regex("The download failed: .+\\. Check the internet "
                                          "connection and try again\\.")))
      << outcome.message.value_or("");
  EXPECT_FALSE(fs::exists(imagePath("1.1.0"))) << "the earlier file went before the download";
}

TEST_F(DownloadVerify, ChecksThatCannotRunFail) {
  // A checksum tool that cannot start fails the checksum; a codesign that cannot start
  // only skips the team comparison.
  const auto bytes = makeImage("OTHERTEAM1");
  const auto release = publish(bytes);
  Tools tools = testing::standinTools();
  tools.codesign = "/nonexistent/codesign";
  Platform noCodesign(test.loop, *test.http, test.ui, test.host, test.realRunner, tools);
  {
    ScopedPlatform installed(noCodesign);
    EXPECT_TRUE(run(release).image);
  }
  tools.shasum = "/nonexistent/shasum";
  Platform noShasum(test.loop, *test.http, test.ui, test.host, test.realRunner, tools);
  ScopedPlatform installed(noShasum);
  EXPECT_EQ(run(release).message, kChecksumMessage);
}

// A large image on a slow line: only a minute without data fails it, not its length.
TEST_F(DownloadVerify, TheDownloadHasTheDefaultLimitsOfAMinuteIdleAndSevenDaysWhole) {
  struct Recorder final : Http {
    std::vector<HttpRequest> sent;
    void send(HttpRequest request, std::function<void(HttpResponse)>) override {
      sent.push_back(std::move(request));
    }
    void download(HttpRequest request, std::function<void(DownloadResult)>) override {
      sent.push_back(std::move(request));
    }
  } recorder;
  Platform recording(test.loop, recorder, test.ui, test.host, test.realRunner, Tools{});
  ScopedPlatform installed(recording);
  downloadAndVerify(publish("bytes"), [](auto, auto) {});
  ASSERT_EQ(recorder.sent.size(), 1u);
  EXPECT_EQ(recorder.sent[0].idleSeconds, 60.0);
  EXPECT_EQ(recorder.sent[0].timeoutSeconds, 604'800.0);
}

}  // namespace
}  // namespace kestrova::Updater
