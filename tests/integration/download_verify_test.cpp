// Downloading and verifying an update image over real HTTP with the real shasum and the
// stand-in spctl and codesign: one row per way the image is kept or discarded.
#include "app/update/download_verify.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "app/engine/shell.h"
#include "app/update/release_feed.h"
#include "app/update/update_paths.h"
#include "tests/support/loopback_server.h"
#include "tests/support/real_processes.h"
#include "tests/support/sandbox.h"
#include "tests/support/test_platform.h"

namespace kestrova::Updater {
namespace {

namespace fs = std::filesystem;
using testing::LoopbackReply;

const std::string kTeam = "TEAM123456";
const std::string kChecksum =
    "The downloaded file did not match the published checksum, so it was discarded. "
    "Try again later.";
const std::string kUnverified =
    "The update could not be verified, so it was discarded. Please report this to "
    "support@talmiro.com. (spctl rc=";
const std::string kOtherDeveloper =
    "The update was signed by a different developer, so it was discarded. Please report this to "
    "support@talmiro.com.";

struct Row {
  std::string what;
  std::string appTeam;    // the running copy's signature; "" for none
  std::string imageTeam;  // the image's; "" for none
  std::string verdict;    // a Gatekeeper verdict dictated to the stand-in spctl, "" for its own
  std::function<void(Release&, Tools&)> change;
  std::optional<std::string> message;  // absent: kept; a '*' stands for any text
  std::string inside = "1.1.0";        // the version the bundle in the image reports
  std::string insideTeam = "";         // the bundle's signature; "" for the image's
};

class DownloadVerify : public ::testing::Test {
 protected:
  // The release as a feed would publish it, serving `bytes` as the image.
  Release publish(const std::string& bytes) {
    server.on("GET", "/K.dmg", LoopbackReply{.body = bytes, .contentType = "x/y"});
    const auto digest =
        shell("/usr/bin/shasum", {"-a", "256", testing::writeFile(test.sandbox.path("in"), bytes)})
            .output.substr(0, 64);
    return parseRelease(R"({"version": "1.1.0", "url": ")" + server.url("/K.dmg") +
                        R"(", "sha256": ")" + digest + R"(", "published": 1780000000})")
        .value_or(Release{});
  }

  // The server outlives the HTTP client, whose kept-alive connections would hold up its shutdown.
  testing::LoopbackServer server;
  testing::TestPlatform test{testing::standinTools()};
};

bool matches(const std::string& text, const std::string& pattern) {
  const auto star = std::min(pattern.find('*'), pattern.size());
  return star == pattern.size() ? text == pattern
                                : text.starts_with(pattern.substr(0, star)) &&
                                      text.ends_with(pattern.substr(star + 1));
}

TEST_F(DownloadVerify, AnImageIsKeptOnlyWhenItsDigestGatekeeperAndTeamAllAgree) {
  const auto none = [](Release&, Tools&) {};
  const Row rows[] = {
      {"verified", kTeam, kTeam, "", none, std::nullopt},
      {"error-page", kTeam, kTeam, "",
       [&](Release&, Tools&) {
         server.on("GET", "/K.dmg", LoopbackReply{404, "not found", "text/plain", 0, {}});
       },
       kChecksum},
      {"no-shasum", kTeam, kTeam, "", [](Release&, Tools& t) { t.shasum = "/nonexistent"; },
       kChecksum},
      {"rejected", kTeam, kTeam, "0\nimage: rejected\n", none, kUnverified + "0: image: rejected)"},
      {"accepted-but-failed", kTeam, kTeam, "2\nx: accepted\n", none,
       kUnverified + "2: x: accepted)"},
      {"other-team", kTeam, "OTHERTEAM1", "", none, kOtherDeveloper},
      // Without a team of our own to compare (unsigned, or a codesign that cannot run, alike),
      // Gatekeeper alone decides; with one, an image that names none is refused.
      {"unsigned-app", "", "OTHERTEAM1", "", none, std::nullopt},
      {"adhoc-image", kTeam, "adhoc", "0\nimage: accepted\nsource=Stand-in\n", none,
       kOtherDeveloper},
      // A locale warning on standard error leaves the digest on standard output alone.
      {"warning-shasum", kTeam, kTeam, "",
       [&](Release&, Tools& t) {
         t.shasum =
             test.sandbox.write("shasum",
                                "#!/bin/sh\necho 'perl: warning: Setting locale failed.' >&2\n"
                                "exec /usr/bin/shasum \"$@\"\n",
                                fs::perms::owner_all);
       },
       std::nullopt},
      {"slash-version", kTeam, kTeam, "", [](Release& r, Tools&) { r.version = "1.1/beta"; },
       "The update feed names its release in a way that cannot be saved, so nothing was "
       "downloaded. Please report this to support@talmiro.com."},
      {"older-inside", kTeam, kTeam, "", none,
       "The update does not hold the version it announced, so it was discarded. Please report "
       "this to support@talmiro.com.",
       "1.0.9"},
      {"other-team-inside", kTeam, kTeam, "", none, kOtherDeveloper, "1.1.0", "OTHERTEAM1"},
      {"closed-port", kTeam, kTeam, "",
       [](Release& r, Tools&) { r.url = testing::closedURL("/K.dmg"); },
       "The download failed: Couldn't connect to server*. Check the internet connection and try "
       "again."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove_all(test.sandbox.path("Applications"));
    test.host.bundle = test.sandbox.path("Applications/Kestrova.app");
    if (!row.appTeam.empty()) {
      test.sandbox.write("Applications/Kestrova.app/Contents/_CodeSignature/team",
                         row.appTeam + "\n");
    }
    // A stand-in image holding a bundle, signed with the row's team unless empty.
    const std::string source = test.sandbox.path("image-" + row.what);
    testing::writeFile(source + "/Kestrova.app/Contents/Info.plist",
                       "<plist><dict><key>CFBundleShortVersionString</key><string>" + row.inside +
                           "</string></dict></plist>");
    if (!row.verdict.empty()) testing::writeFile(source + "/.signature/gatekeeper", row.verdict);
    Tools tools = testing::standinTools();
    const std::string insideTeam = row.insideTeam.empty() ? row.imageTeam : row.insideTeam;
    if (!insideTeam.empty()) shell(tools.codesign, {"-s", insideTeam, source + "/Kestrova.app"});
    EXPECT_EQ(shell(tools.hdiutil, {"create", "-srcfolder", source, source + ".dmg"}).status, 0);
    if (!row.imageTeam.empty()) {
      EXPECT_EQ(shell(tools.codesign, {"-s", row.imageTeam, source + ".dmg"}).status, 0);
    }
    const std::string bytes = testing::readFile(source + ".dmg");
    Release release = publish(bytes);
    row.change(release, tools);
    Platform changed(test.loop, *test.http, test.ui, test.host, test.realRunner, tools);
    const ScopedPlatform installed(changed);
    if (release.version == "1.1.0") testing::writeFile(imagePath("1.1.0"), "old");
    std::optional<std::string> image, message;
    int calls = 0;
    downloadAndVerify(release, [&, main = std::this_thread::get_id()](auto path, auto refusal) {
      ++calls;
      EXPECT_EQ(std::this_thread::get_id(), main);
      EXPECT_NE(path.has_value(), refusal.has_value()) << "exactly one of path and message";
      image = std::move(path);
      message = std::move(refusal);
    });
    EXPECT_TRUE(test.loop.runUntil([&] { return calls > 0; }));
    test.loop.runUntilIdle();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(matches(message.value_or("kept"), row.message.value_or("kept")))
        << message.value_or("kept");
    if (!row.message) {
      EXPECT_EQ(image, test.sandbox.path(
                           "Library/Application Support/Kestrova/updates/Kestrova-1.1.0.dmg"));
      EXPECT_EQ(testing::readFile(image.value_or("")), bytes);
      fs::remove(image.value_or(""));
    }
    EXPECT_EQ(testing::entriesIn(updatesDir()), 0u) << "the earlier file went before the download";
  }
}

// The checks run beside the URL-loading thread: a Gatekeeper assessment that hangs holds up no
// other reply.
TEST_F(DownloadVerify, ACheckThatHangsHoldsUpNoOtherReply) {
  Tools tools = testing::standinTools();
  const std::string running = test.sandbox.path("running");  // until the test removes it
  tools.spctl = test.sandbox.write("spctl",
                                   "#!/bin/sh\n: > '" + running + "'\nwhile [ -e '" + running +
                                       "' ]; do sleep 0.05; done\nexit 3\n",
                                   fs::perms::owner_all);
  Platform changed(test.loop, *test.http, test.ui, test.host, test.realRunner, tools);
  const ScopedPlatform installed(changed);
  std::optional<std::string> message;
  downloadAndVerify(publish("image"), [&](auto, auto refusal) { message = refusal; });
  ASSERT_TRUE(testing::eventually([&] { return fs::exists(running); }));
  bool answered = false;
  test.http->send({"GET", server.url("/K.dmg"), {}, {}},
                  [&](HttpResponse) { test.loop.post([&] { answered = true; }); });
  EXPECT_TRUE(test.loop.runUntil([&] { return answered; }, std::chrono::seconds(5)));
  fs::remove(running);
  EXPECT_TRUE(test.loop.runUntil([&] { return message.value_or("").starts_with(kUnverified); }));
}

}  // namespace
}  // namespace kestrova::Updater
