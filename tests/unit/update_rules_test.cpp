// The update's pure rules: which version is newer, what is a URL, the team a signature names,
// the Gatekeeper detail shown to the user, and what a release feed holds.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <tuple>

#include "app/update/gatekeeper_detail.h"
#include "app/update/release_feed.h"
#include "app/update/team_id.h"
#include "app/update/url_syntax.h"
#include "app/update/versions.h"

namespace kestrova::Updater {
namespace {

// Components compare as numbers, a missing one counts as 0, and one that is not a whole signed
// 64-bit integer (a suffix, a double sign, an overflow) counts as 0 too. Each case is
// "candidate current".
TEST(VersionOrder, ComparesComponentWise) {
  const auto newer = [](const std::string& pair) {
    const auto space = pair.find(' ');
    return isNewer(pair.substr(0, space), pair.substr(space + 1));
  };
  for (const char* pair :
       {"1.10 1.9", "1.2.1 1.2", "1.+3 1.2", "1..3 1.2", "0.-9223372036854775809 0.-1",
        "9223372036854775807 9223372036854775806"}) {
    EXPECT_TRUE(newer(pair)) << pair;
  }
  for (const char* pair :
       {"1.2.0 1.2", "1.3-beta 1.2", "1.0 1.+-3", "1.-1 1", " 0", "9223372036854775808 1"}) {
    EXPECT_FALSE(newer(pair)) << pair;
  }
}

TEST(UrlSyntax, AcceptsAbsoluteURLsOnly) {
  for (const char* text : {"file:///tmp/feed.json", "http://127.0.0.1:54321/feed?x=1&y=%2F#top",
                           "x-custom+1.0:thing", "https://h/[::1]/~user/a,b;c=d@e!$'()*"}) {
    EXPECT_TRUE(isURL(text)) << text;
  }
  for (const char* text :
       {"", "kestrova.talmiro.com/appcast.json", "1http://x", "https:", "https://host/a b",
        "https://host/%2", "https://host/%g0", "https://host/\xC3\xA9", "https://host/<x>"}) {
    EXPECT_FALSE(isURL(text)) << text;
  }
}

// Only standard error counts, and only one plain line: a path printed before it (an image named
// after a hostile version) must not pass for the team.
TEST(TeamIdentifier, IsReadFromTheOneLineOnStandardErrorThatStartsWithIt) {
  for (const auto& [status, err, team] :
       {std::tuple<int, std::string, std::optional<std::string>>{
            0, "Executable=/u/Kestrova-9.\nTeamIdentifier=GOODTEAM1\nTeamIdentifier=EVIL", {}},
        {0, "TeamIdentifier=not set\n", std::nullopt},
        {0, "TeamIdentifier= padded \n", std::nullopt},
        {1, "warning\nTeamIdentifier=ZZ99\n", "ZZ99"}}) {  // a failure naming a team is read
    EXPECT_EQ(teamIDFromCodesign(ToolOutput{status, "", err}), team) << err;
  }
  EXPECT_EQ(teamIDFromCodesign(ToolOutput{0, "TeamIdentifier=OUT\n", ""}), std::nullopt);
}

// Characters, not bytes: a two-byte letter counts once and is never split.
TEST(GatekeeperDetail, KeepsTheFirst120CharactersOfTheTrimmedOutput) {
  std::string accented, expected;
  for (int i = 0; i < 130; ++i) accented += "\xC3\xA9";
  for (int i = 0; i < 120; ++i) expected += "\xC3\xA9";
  EXPECT_EQ(gatekeeperDetail(ShellResult{-1, "\n\t " + accented}),
            "(spctl rc=-1: " + expected + ")");
}

constexpr const char* kMinimal =
    R"({"version": "1.2.0", "url": "https://h/K.dmg", "published": -1e9, "sha256":)"
    R"("5E884898DA28047151D0E56F8DC6292773603D0D6AABBDD62A11EF721D1542D8"})";

// The minimal feed with one key replaced by `json`, or removed when `json` is empty.
std::optional<Release> withKey(const std::string& key, const std::string& json) {
  auto feed = nlohmann::json::parse(kMinimal);
  json.empty() ? (void)feed.erase(key) : (void)(feed[key] = nlohmann::json::parse(json));
  return parseRelease(feed.dump());
}

// The digest is lower-cased, the version kept as published, and only true or the
// number 1 (as some publishing tools write booleans) marks a release critical.
TEST(ReleaseFeed, CarriesTheFieldsAsPublishedWithDefaults) {
  const auto minimal = parseRelease(kMinimal);
  ASSERT_TRUE(minimal);
  EXPECT_EQ(std::tie(minimal->url, minimal->sha256, minimal->notes, minimal->published,
                     minimal->critical),
            std::make_tuple("https://h/K.dmg",
                            "5e884898da28047151d0e56f8dc6292773603d0d6aabbdd62a11ef721d1542d8", "",
                            -1e9, false));
  EXPECT_EQ(withKey("version", R"("2.0-beta_1+b.7")").value().version, "2.0-beta_1+b.7");
  EXPECT_EQ(withKey("notes", "42").value().notes, "");
  for (const auto& [json, critical] : {std::pair{"1", true}, {"2", false}, {R"("true")", false}}) {
    EXPECT_EQ(withKey("critical", json).value().critical, critical) << json;
  }
}

// The version names a file and reaches the tools that check it; the digest is compared with
// theirs: only plain text of each passes.
TEST(ReleaseFeed, AMissingOrMistypedRequiredKeyOrANonObjectMeansNoFeed) {
  const std::pair<const char*, std::vector<const char*>> cases[] = {
      {"version",
       {"", "120", R"("")", R"("9.\nTeamIdentifier=GOODTEAM1\n")", R"("1/2")", R"("1\\2")",
        R"(" 2.0 ")", R"("1.\u001b[2J")"}},
      {"url", {"", "7", R"("downloads/k.dmg")"}},
      {"sha256",
       {"", "[]", R"("ab")",
        R"("5e884898da28047151d0e56f8dc6292773603d0d6aabbdd62a11ef721d1542dg")",
        R"("5e884898da28047151d0e56f8dc6292773603d0d6aabbdd62a11ef721d1542d80")"}},
      {"published", {"", R"("2026-12-06T10:00:00Z")", "true"}}};
  for (const auto& [key, values] : cases) {
    for (const char* json : values) EXPECT_FALSE(withKey(key, json)) << key << json;
  }
  for (const char* body : {"", "[]", "<html>502 Bad Gateway</html>", "{\"version\": \"1\xff\"}"}) {
    EXPECT_FALSE(parseRelease(body)) << body;
  }
  EXPECT_FALSE(withKey("notes", std::string(33, '[') + std::string(33, ']'))) << "too deep";
  EXPECT_TRUE(withKey("notes", std::string(31, '[') + std::string(31, ']')));
}

}  // namespace
}  // namespace kestrova::Updater
