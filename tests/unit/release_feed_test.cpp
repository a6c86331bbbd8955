#include "app/update/release_feed.h"

#include <gtest/gtest.h>

#include <string>

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

// Replaces or removes one key of the minimal feed.
std::string withKey(const std::string& key, const std::string& json) {
  std::string version = R"("1.2.0")";
  std::string url = R"("https://downloads.example.com/k.dmg")";
  std::string sha = R"("ab")";
  std::string published = "1780000000";
  std::string extra;
  if (key == "version") version = json;
  else if (key == "url") url = json;
  else if (key == "sha256") sha = json;
  else if (key == "published") published = json;
  else extra = R"(, ")" + key + R"(": )" + json;
  std::string body = "{";
  auto add = [&body](const char* name, const std::string& value) {
    if (value.empty()) return;
    if (body.size() > 1) body += ", ";
    body += std::string("\"") + name + "\": " + value;
  };
  add("version", version);
  add("url", url);
  add("sha256", sha);
  add("published", published);
  return body + extra + "}";
}

struct NoFeed {
  const char* key;
  const char* json;  // "" removes the key
};

class RequiredKeys : public ::testing::TestWithParam<NoFeed> {};

TEST_P(RequiredKeys, MissingOrMistypedMeansNoFeed) {
  const auto body = withKey(GetParam().key, GetParam().json);
  EXPECT_FALSE(parseRelease(body)) << body;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RequiredKeys,
    ::testing::Values(NoFeed{"version", ""}, NoFeed{"version", "120"},
                      NoFeed{"version", "null"}, NoFeed{"url", ""}, NoFeed{"url", "7"},
                      NoFeed{"url", R"("not a url")"}, NoFeed{"url", R"("")"},
                      NoFeed{"url", R"("downloads/k.dmg")"},
                      NoFeed{"url", R"("https://host/a%zz.dmg")"}, NoFeed{"sha256", ""},
                      NoFeed{"sha256", "[]"}, NoFeed{"published", ""},
                      NoFeed{"published", R"("2026-12-06T10:00:00Z")"},
                      NoFeed{"published", "true"}, NoFeed{"published", "null"}));

struct Optional {
  const char* key;
  const char* json;
  const char* notes;
  bool critical;
};

class OptionalKeys : public ::testing::TestWithParam<Optional> {};

TEST_P(OptionalKeys, OtherTypesFallBackToDefaults) {
  const auto& c = GetParam();
  const auto release = parseRelease(withKey(c.key, c.json));
  ASSERT_TRUE(release);
  EXPECT_EQ(release->notes, c.notes);
  EXPECT_EQ(release->critical, c.critical);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OptionalKeys,
    ::testing::Values(Optional{"notes", R"("Fixes.")", "Fixes.", false},
                      Optional{"notes", "42", "", false}, Optional{"notes", "null", "", false},
                      Optional{"critical", "true", "", true},
                      Optional{"critical", "false", "", false},
                      Optional{"critical", "1", "", true}, Optional{"critical", "0", "", false},
                      Optional{"critical", "2", "", false},
                      Optional{"critical", R"("true")", "", false},
                      Optional{"critical", "null", "", false}));

TEST(ReleaseFeed, PublishedMayBeAnyNumber) {
  for (const char* number : {"0", "-5", "1780000000.25", "1e9"}) {
    EXPECT_TRUE(parseRelease(withKey("published", number))) << number;
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
