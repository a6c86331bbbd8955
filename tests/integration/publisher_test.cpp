// The publisher in process: its command line, its refusals, each made before anything is built,
// so that an earlier publication in the output folder survives them whole, and the publication
// that passes them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <tuple>
#include <variant>

#include "app/platform/file_calls.h"
#include "tests/support/sandbox.h"
#include "tools/release/previous_feed.h"
#include "tools/release/publish.h"
#include "tools/release/release_options.h"
#include "tools/release/verify_release.h"

namespace kestrova::testing {
namespace {

using release::PublishOptions;

TEST(Publisher, AnOptionWithoutItsValueIsRefused) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
      {{"1.2", "--notes"}, "--notes needs a value."},
      {{"1.2", "--out", "--critical"}, "--out needs a value."},
      {{"--verify", "https://h/f", "--critical"},
       "--verify takes a feed URL and, optionally, --previous-feed and --bundle."},
  };
  for (const auto& [args, message] : refused) {
    EXPECT_EQ(std::get<std::string>(release::parseOptions(args, "built")), message);
  }
  std::ostringstream out;
  EXPECT_EQ(release::verifyRelease({"ftp://h/f", {}, ""}, out),
            "ftp://h/f is not an http or https address a station would accept.");
}

// A previous feed on the web is fetched as stations fetch it: uncached, and given a minute.
TEST(Publisher, APreviousFeedOnTheWebIsFetchedUncachedWithinAMinute) {
  release::ToolPlatform tool("", {});
  struct Recorder final : Http {  // answers at once, as a host that refused the request
    HttpRequest got;
    void send(HttpRequest r, std::function<void(HttpResponse)> done) override { got = r, done({}); }
    void download(HttpRequest, std::function<void(DownloadResult)>) override {}
  } http;
  Platform p(platform().loop(), http, platform().ui(), platform().host(), platform().runner(), {});
  const ScopedPlatform installed(p);
  EXPECT_TRUE(std::holds_alternative<std::string>(release::readFeed("https://h/f", tool)));
  EXPECT_EQ(std::tuple(http.got.url, http.got.cachePolicy, http.got.timeoutSeconds),
            std::tuple("https://h/f", CachePolicy::ignoreLocalCache, 60.0));
}

TEST(Publisher, RefusesWhatNoStationWouldOfferOrReadKeepingTheEarlierReleaseThenPublishes) {
  const Sandbox sandbox;
  const std::string feedEnd = R"(", "url": "https://a.invalid/x", "published": 0, "sha256": ")";
  const auto feed = [&](const std::string& version) {
    return sandbox.write(version,
                         R"({"version": ")" + version + feedEnd + std::string(64, 'a') + "\"}");
  };
  const std::vector<std::pair<PublishOptions, std::string>> table = {
      {{.version = "9.9.9", .previousFeed = feed("9.9.9")},
       "9.9.9 is not newer than 9.9.9, the version of the previous feed, by the app's rule"},
      {{.version = "9.9.9", .previousFeed = feed("9.10")}, "9.9.9 is not newer than 9.10,"},
      {{.version = "9.9.9", .previousFeed = sandbox.path("gone")}, "Could not read the feed"},
      {{.version = "2.0", .previousFeed = feed("2.0-beta")},
       "2.0-beta counts as 2.0, so 2.0 will not be offered after it."},
      {{.version = "2.0-beta"}, "Refusing 2.0-beta: 2.0-beta counts as 2.0, so 2.0 will not be"},
      {{.version = "9.99999999999999999999"},
       "counts as 9.0: a part above 9223372036854775807 is too large for the app."},
      {{.version = "9.9.9", .baseURL = "not a url"}, "The base URL not a url/ does not parse"},
      {{.version = "9.9.9", .baseURL = "https://"}, "The base URL https:// names no host."},
      {{.version = "9.9.9", .baseURL = "https://me:pw@example.com/r"}, "carries credentials."},
      {{.version = "9.9.9", .baseURL = "https://example.com/r?v=1"}, "has a query or fragment."},
      {{.version = "9.9.9", .notesFile = sandbox.path("missing.txt")},
       "missing.txt cannot be read"},
      {{.version = "9.9.9", .notesFile = sandbox.home()}, "is a folder."},
      {{.version = "9.9.9", .notesFile = sandbox.write("notes", "caf\xE9\n")},
       "is not UTF-8 text."},
  };
  const std::string out = sandbox.path("out");
  sandbox.write("out/Kestrova-9.9.9.dmg", "earlier image");
  for (auto [options, says] : table) {
    SCOPED_TRACE(options.version + " " + says);
    options.bundle = KESTROVA_BUNDLE_DIR;
    options.outDir = out;
    std::ostringstream printed, notes;
    EXPECT_THAT(release::publish(options, printed, notes).value_or(""), ::testing::HasSubstr(says));
    EXPECT_EQ(readFile(out + "/Kestrova-9.9.9.dmg"), "earlier image");
    EXPECT_EQ(entriesIn(out), 1u) << "no output";
  }
  // What passes is published where the command line asks, the feed by the durable writer, whose
  // order the atomic file test shows: flushed before its rename, and its folder after.
  struct Flushes final : FileCalls {
    int count = 0;
    int flushToDisk(int fd) override { return ++count, FileCalls::flushToDisk(fd); }
  } flushes;
  const ScopedFileCalls installed(flushes);
  const auto options = std::get<PublishOptions>(std::get<release::Options>(release::parseOptions(
      {"9.9.9", "--bundle", KESTROVA_BUNDLE_DIR, "--out", out, "--critical"}, "")));
  std::ostringstream printed;
  EXPECT_EQ(release::publish(options, printed, printed), std::nullopt);
  EXPECT_EQ(flushes.count, 2) << "the feed and its folder";
  EXPECT_EQ(entriesIn(out), 2u) << printed.str();
  // An image that cannot take its place leaves the earlier feed where it was, naming its image.
  sandbox.write("blocked/Kestrova-9.9.9.dmg/kept", "");
  const std::string earlierFeed = sandbox.write("blocked/appcast.json", "earlier feed");
  auto blocked = options;
  blocked.outDir = sandbox.path("blocked");
  EXPECT_NE(release::publish(blocked, printed, printed), std::nullopt);
  EXPECT_EQ(readFile(earlierFeed), "earlier feed");
  EXPECT_THAT(printed.str(), ::testing::HasSubstr("1. " + out + "/Kestrova-9.9.9.dmg\n     to "));
}

}  // namespace
}  // namespace kestrova::testing
