// Where the release feed is fetched from, and what a fetch delivers, over real HTTP.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>

#include "app/update/product_site.h"
#include "app/update/update_feed.h"
#include "tests/support/loopback_server.h"
#include "tests/support/test_platform.h"

namespace kestrova::Updater {
namespace {

using testing::LoopbackReply;
using testing::LoopbackServer;
using testing::TestPlatform;

constexpr const char* kFeed =
    R"({"version": "1.1.0", "url": "https://kestrova.talmiro.com/Kestrova-1.1.0.dmg",)"
    R"( "sha256": "AA11", "published": 1780000000, "notes": "Better."})";

class Feed : public ::testing::Test {
 protected:
  void writeConfig(const std::string& json) {
    test.sandbox.write("Library/Application Support/Kestrova/config.json", json);
  }
  void pointAt(const LoopbackServer& server) {
    writeConfig(R"({"port": 8787, "update_feed": ")" + server.url("/appcast.json") + R"("})");
  }
  // One fetch, run to its callback on the main loop.
  std::optional<std::optional<Release>> fetch() {
    std::optional<std::optional<Release>> result;
    int calls = 0;
    const auto mainThread = std::this_thread::get_id();
    fetchFeed([&](std::optional<Release> release) {
      ++calls;
      EXPECT_EQ(std::this_thread::get_id(), mainThread);
      result = std::move(release);
    });
    EXPECT_FALSE(result) << "the callback waits for the main loop";
    test.loop.runUntil([&] { return result.has_value(); });
    test.loop.runUntilIdle();
    EXPECT_EQ(calls, 1);
    return result;
  }

  TestPlatform test;
};

TEST_F(Feed, DefaultLocationUnlessConfigNamesAURL) {
  EXPECT_EQ(feedURL(), kFeedURL);
  for (const char* config :
       {"", "not json", "[]", R"("https://x.example/feed")", R"({"port": 8787})",
        R"({"update_feed": ""})", R"({"update_feed": 5})", R"({"update_feed": null})",
        R"({"update_feed": "feed.json"})", R"({"update_feed": "https://x.example/a b"})"}) {
    writeConfig(config);
    EXPECT_EQ(feedURL(), kFeedURL) << config;
  }
  writeConfig(R"({"update_feed": "https://mirror.example/feed.json", "port": 9000})");
  EXPECT_EQ(feedURL(), "https://mirror.example/feed.json");
  EXPECT_EQ(std::string(kFeedURL), "https://kestrova.talmiro.com/appcast.json");
}

TEST_F(Feed, TheConfiguredFeedIsUsedAtTheVeryNextCheck) {
  LoopbackServer first;
  LoopbackServer second;
  first.on("GET", "/appcast.json", LoopbackReply{.body = kFeed});
  second.on("GET", "/appcast.json",
            LoopbackReply{.body = R"({"version": "9", "url": "https://h/9.dmg", "sha256": "b",)"
                                  R"( "published": 1})"});
  pointAt(first);
  auto release = fetch();
  ASSERT_TRUE(release && *release);
  EXPECT_EQ((*release)->version, "1.1.0");
  EXPECT_EQ((*release)->sha256, "aa11");
  EXPECT_EQ((*release)->notes, "Better.");

  pointAt(second);
  release = fetch();
  ASSERT_TRUE(release && *release);
  EXPECT_EQ((*release)->version, "9");
  EXPECT_EQ(first.requestCount(), 1u);
  EXPECT_EQ(second.requestCount(), 1u);
}

TEST_F(Feed, OnlyTheBodyDecidesAndAnUnreachableFeedGivesNothing) {
  LoopbackServer server;
  pointAt(server);
  // A feed object counts whatever the status; an error page is no feed.
  const std::pair<LoopbackReply, bool> cases[] = {
      {LoopbackReply{.status = 503, .body = kFeed}, true},
      {LoopbackReply{.body = "<html>Service Unavailable</html>", .contentType = "text/html"},
       false},
      {LoopbackReply{.body = ""}, false},
  };
  for (const auto& [reply, isFeed] : cases) {
    SCOPED_TRACE(reply.body);
    server.on("GET", "/appcast.json", reply);
    const auto release = fetch();
    ASSERT_TRUE(release);
    EXPECT_EQ(release->has_value(), isFeed);
  }
  writeConfig(R"({"update_feed": ")" + testing::closedURL("/appcast.json") + R"("})");
  const auto release = fetch();
  ASSERT_TRUE(release);
  EXPECT_FALSE(*release);
}

}  // namespace
}  // namespace kestrova::Updater
