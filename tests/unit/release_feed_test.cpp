#include "app/update/release_feed.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

namespace kestrova::Updater {
namespace {

constexpr const char* kMinimal =
    R"({"version": "1.2.0", "url": "https://downloads.example.com/Kestrova-1.2.0.dmg",)"
    R"( "sha256": "ABCDEF0123", "published": 1780000000})";

TEST(ReleaseFeed, MinimalFeedGetsDefaultsAndLowerCaseDigest) {
  const auto release = parseRelease(kMinimal);
  ASSERT_TRUE(release);
  EXPECT_EQ(release->version, "1.2.0");
  EXPECT_EQ(release->url, "https://downloads.example.com/Kestrova-1.2.0.dmg");
  EXPECT_EQ(release->sha256, "abcdef0123");
  EXPECT_EQ(release->published, 1780000000.0);
  EXPECT_EQ(release->notes, "");
  EXPECT_FALSE(release->critical);
}

TEST(ReleaseFeed, EveryFieldIsCarriedAsPublished) {
  const auto release = parseRelease(
      R"({"critical": true, "notes": "Faster start.\nFewer stalls.", "version": " 2.0 ",)"
      R"( "url": "http://127.0.0.1:8080/a%20b.dmg", "sha256": " Ab ", "published": 1.5,)"
      R"( "extra": [1, 2]})");
  ASSERT_TRUE(release);
  EXPECT_EQ(release->version, " 2.0 ");  // not trimmed
  EXPECT_EQ(release->url, "http://127.0.0.1:8080/a%20b.dmg");
  EXPECT_EQ(release->sha256, " ab ");  // lower-cased, not trimmed
  EXPECT_EQ(release->notes, "Faster start.\nFewer stalls.");
  EXPECT_EQ(release->published, 1.5);
  EXPECT_TRUE(release->critical);
}

// The minimal feed with one key replaced by `json`, or removed when `json` is empty.
std::string withKey(const std::string& key, const std::string& json) {
  auto feed = nlohmann::json::parse(kMinimal);
  if (json.empty()) {
    feed.erase(key);
  } else {
    feed[key] = nlohmann::json::parse(json);
  }
  return feed.dump();
}

TEST(ReleaseFeed, AMissingOrMistypedRequiredKeyMeansNoFeed) {
  // Per key, the values that make the feed unusable ("" removes the key).
  const std::pair<const char*, std::vector<const char*>> cases[] = {
      {"version", {"", "120", "null"}},
      {"url",
       {"", "7", R"("not a url")", R"("")", R"("downloads/k.dmg")", R"("https://host/a%zz.dmg")"}},
      {"sha256", {"", "[]"}},
      {"published", {"", R"("2026-12-06T10:00:00Z")", "true", "null"}}};
  for (const auto& [key, values] : cases) {
    for (const char* json : values) {
      const auto body = withKey(key, json);
      EXPECT_FALSE(parseRelease(body)) << body;
    }
  }
}

TEST(ReleaseFeed, OptionalKeysOfAnotherTypeFallBackToDefaults) {
  // Only true, or the number 1 as some publishing tools write booleans, mark a release critical.
  const std::pair<const char*, bool> critical[] = {
      {"true", true}, {"1", true},          {"false", false}, {"0", false},
      {"2", false},   {R"("true")", false}, {"null", false}};
  for (const auto& [json, expected] : critical) {
    const auto release = parseRelease(withKey("critical", json));
    ASSERT_TRUE(release) << json;
    EXPECT_EQ(release->critical, expected) << json;
  }
  const std::pair<const char*, const char*> notes[] = {
      {R"("Fixes.")", "Fixes."}, {"42", ""}, {"null", ""}};
  for (const auto& [json, expected] : notes) {
    const auto release = parseRelease(withKey("notes", json));
    ASSERT_TRUE(release) << json;
    EXPECT_EQ(release->notes, expected) << json;
  }
}

TEST(ReleaseFeed, PublishedMayBeAnyNumber) {
  // Written out by hand: the number's own spelling (an exponent) must reach the parser.
  for (const std::string number : {"0", "-5", "1780000000.25", "1e9"}) {
    EXPECT_TRUE(parseRelease(R"({"version": "1", "url": "https://h/k.dmg", "sha256": "ab",)"
                             R"( "published": )" +
                             number + "}"))
        << number;
  }
}

TEST(ReleaseFeed, OnlyAnObjectIsAFeed) {
  for (const char* body : {"", "   ", "[]", R"(["version"])", R"("1.2")", "12", "null",
                           "<html><body>502 Bad Gateway</body></html>", R"({"version": )",
                           "{\"version\": \"1\xff\"}"}) {
    EXPECT_FALSE(parseRelease(body)) << body;
  }
}

}  // namespace
}  // namespace kestrova::Updater
