// The update's pure rules: which version is newer, what is a URL, the team a signature names,
// the Gatekeeper detail shown to the user, and what a release feed holds.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "app/update/gatekeeper_detail.h"
#include "app/update/release_feed.h"
#include "app/update/team_id.h"
#include "app/update/url_syntax.h"
#include "app/update/versions.h"

namespace kestrova::Updater {
namespace {

TEST(VersionOrder, ComparesComponentWise) {
  const struct {
    const char *candidate, *current;
    bool newer;
  } cases[] = {
      {"1.10", "1.9", true},  // numeric, not textual
      {"1.9", "1.10", false},
      {"1.2.0", "1.2", false},  // a missing component counts as 0; equal is not newer
      {"1.2", "1.2.0", false},
      {"1.2.1", "1.2", true},
      {"2", "1.99.99", true},
      {"1.3-beta", "1.2", false},  // a component that is not a whole signed integer counts as 0
      {"1.3 ", "1.2", false},
      {"1.0x10", "1", false},
      {"1.+3", "1.2", true},
      {"1.+-3", "1.0", false},
      {"1.-", "0.9", true},
      {"", "0", false},
      {"1", "", true},
      {"1..3", "1.2", true},
      {".1", "0.9", true},
      {"1.-1", "1", false},  // signed
      {"-2", "-3", true},
      {"1.02", "1.2", false},                                // leading zeros do not count
      {"9223372036854775807", "9223372036854775806", true},  // beyond 64 bits counts as 0
      {"9223372036854775808", "1", false},
      {"0.-9223372036854775809", "0.-1", true}};
  for (const auto& c : cases) {
    EXPECT_EQ(isNewer(c.candidate, c.current), c.newer) << c.candidate << " vs " << c.current;
  }
}

TEST(UrlSyntax, AcceptsAbsoluteURLsOnly) {
  for (const char* text : {"https://kestrova.talmiro.com/appcast.json", "file:///tmp/feed.json",
                           "http://127.0.0.1:54321/feed?x=1&y=%2F#top", "x-custom+1.0:thing",
                           "https://h/[::1]/~user/a,b;c=d@e!$'()*"}) {
    EXPECT_TRUE(isURL(text)) << text;
  }
  for (const char* text :
       {"", "kestrova.talmiro.com/appcast.json", "://x", "1http://x", "https:", "https://host/a b",
        "https://host/%2", "https://host/%g0", "https://host/\xC3\xA9", "https://host/<x>"}) {
    EXPECT_FALSE(isURL(text)) << text;
  }
}

TEST(TeamIdentifier, IsReadFromTheFirstTeamLine) {
  const struct {
    int status;
    const char* output;
    std::optional<std::string> team;
  } cases[] = {
      {0, "Executable=/A/B\nIdentifier=x\nTeamIdentifier=AB12CD34EF\nSealed\n", "AB12CD34EF"},
      {0, "\n\nTeamIdentifier=FIRST\nTeamIdentifier=SECOND", "FIRST"},
      {0, "TeamIdentifier=not set\n", std::nullopt},
      {0, "  TeamIdentifier=INDENTED\n", std::nullopt},
      {0, "TeamIdentifier= padded \n", " padded "},  // not trimmed
      {0, "TeamIdentifier=TeamIdentifier=X", "X"},   // every occurrence removed
      // A failing codesign is read only when it still names a team identifier.
      {1, "x: code object is not signed at all\n", std::nullopt},
      {1, "warning\nTeamIdentifier=ZZ99\n", "ZZ99"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(teamIDFromCodesign(ShellResult{c.status, c.output}), c.team) << c.output;
  }
}

TEST(GatekeeperDetail, NamesTheStatusAndTheFirst120CharactersOfTheTrimmedOutput) {
  EXPECT_EQ(gatekeeperDetail(ShellResult{3, "\n  /u/K.dmg: rejected\nsource=none\n\n"}),
            "(spctl rc=3: /u/K.dmg: rejected\nsource=none)");
  // Characters, not bytes: a two-byte letter counts once and is never split.
  std::string accented, expected;
  for (int i = 0; i < 130; ++i) accented += "\xC3\xA9";
  for (int i = 0; i < 120; ++i) expected += "\xC3\xA9";
  EXPECT_EQ(gatekeeperDetail(ShellResult{-1, "\t" + accented}), "(spctl rc=-1: " + expected + ")");
}

constexpr const char* kMinimal =
    R"({"version": "1.2.0", "url": "https://downloads.example.com/Kestrova-1.2.0.dmg",)"
    R"( "sha256": "ABCDEF0123", "published": 1780000000})";

// The minimal feed with one key replaced by `json`, or removed when `json` is empty.
std::string withKey(const std::string& key, const std::string& json) {
  auto feed = nlohmann::json::parse(kMinimal);
  if (json.empty())
    feed.erase(key);
  else
    feed[key] = nlohmann::json::parse(json);
  return feed.dump();
}

TEST(ReleaseFeed, FieldsAreCarriedAsPublishedWithDefaultsAndALowerCaseDigest) {
  const auto minimal = parseRelease(kMinimal);
  ASSERT_TRUE(minimal);
  EXPECT_EQ(minimal->url, "https://downloads.example.com/Kestrova-1.2.0.dmg");
  EXPECT_EQ(minimal->notes, "");
  EXPECT_FALSE(minimal->critical);
  const auto full = parseRelease(
      R"({"critical": true, "notes": "Faster.", "version": " 2.0 ", "url": "http://h/a%20b.dmg",)"
      R"( "sha256": " Ab ", "published": 1.5, "extra": [1, 2]})");
  ASSERT_TRUE(full);
  EXPECT_EQ(full->version, " 2.0 ");  // not trimmed
  EXPECT_EQ(full->sha256, " ab ");    // lower-cased, not trimmed
  EXPECT_EQ(full->notes, "Faster.");
  EXPECT_EQ(full->published, 1.5);
  EXPECT_TRUE(full->critical);
}

TEST(ReleaseFeed, AMissingOrMistypedRequiredKeyOrANonObjectMeansNoFeed) {
  // Per key, the values that make the feed unusable ("" removes the key).
  const std::pair<const char*, std::vector<const char*>> cases[] = {
      {"version", {"", "120", "null"}},
      {"url", {"", "7", R"("not a url")", R"("downloads/k.dmg")"}},
      {"sha256", {"", "[]"}},
      {"published", {"", R"("2026-12-06T10:00:00Z")", "true"}}};
  for (const auto& [key, values] : cases) {
    for (const char* json : values) EXPECT_FALSE(parseRelease(withKey(key, json))) << key << json;
  }
  for (const char* body : {"", "[]", R"("1.2")", "<html>502 Bad Gateway</html>", R"({"version": )",
                           "{\"version\": \"1\xff\"}"}) {
    EXPECT_FALSE(parseRelease(body)) << body;
  }
  // Any number is a time, as spelled: an exponent must reach the parser.
  EXPECT_TRUE(
      parseRelease(R"({"version": "1", "url": "https://h/k", "sha256": "a", "published": -1e9})"));
}

TEST(ReleaseFeed, OptionalKeysOfAnotherTypeFallBackToDefaults) {
  // Only true, or the number 1 as some publishing tools write booleans, mark a release critical.
  for (const auto& [json, expected] : {std::pair{"true", true},
                                       {"1", true},
                                       {"false", false},
                                       {"2", false},
                                       {R"("true")", false},
                                       {"null", false}}) {
    EXPECT_EQ(parseRelease(withKey("critical", json)).value().critical, expected) << json;
  }
  EXPECT_EQ(parseRelease(withKey("notes", "42")).value().notes, "");
}

}  // namespace
}  // namespace kestrova::Updater
