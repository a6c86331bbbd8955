// The menu bar's state comes from this derivation alone; each row is a reply an engine (or
// something else on the port) can really send.
#include "app/engine/engine_status.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace kestrova {
namespace {

TEST(EngineStatusLabel, IsTheExactTextTheMenuShows) {
  EXPECT_EQ(label(EngineStatus::offline), "Offline");
  EXPECT_EQ(label(EngineStatus::idle), "Idle \xE2\x80\x94 not broadcasting");
  EXPECT_EQ(label(EngineStatus::onAir), "ON AIR");
  EXPECT_EQ(label(EngineStatus::live), "LIVE EVENT");
  EXPECT_EQ(label(EngineStatus::needsSetup), "Setup needed");
}

struct DeriveCase {
  const char* name;
  std::optional<std::string> body;
  EngineStatus status;
  std::string now;
};

class DeriveStatus : public ::testing::TestWithParam<DeriveCase> {};

TEST_P(DeriveStatus, FollowsTheFlagRules) {
  const DeriveCase& c = GetParam();
  const StatusReport report =
      deriveStatus(c.body ? std::optional<std::string_view>(*c.body) : std::nullopt);
  EXPECT_EQ(report.status, c.status) << c.name << ": got " << label(report.status);
  EXPECT_EQ(report.now, c.now) << c.name;
}

using S = EngineStatus;

const DeriveCase kUnreadable[] = {
    {"request failed", std::nullopt, S::offline, ""},
    {"empty body", "", S::offline, ""},
    {"not JSON", "<html>busy</html>", S::offline, ""},
    {"truncated object", R"({"enabled": true, "now": "a.mp4")", S::offline, ""},
    {"array", R"([{"enabled": true}])", S::offline, ""},
    {"string", R"("ON AIR")", S::offline, ""},
    {"number", "1", S::offline, ""},
    {"null", "null", S::offline, ""},
};

const DeriveCase kStates[] = {
    {"empty object", "{}", S::idle, ""},
    {"setup wins over everything",
     R"({"setup_complete": false, "live_mode": true, "enabled": true, "playing": true})",
     S::needsSetup, ""},
    {"live without enabled", R"({"live_mode": true, "enabled": false})", S::live, ""},
    {"live over on air", R"({"live_mode": true, "enabled": true, "playing": true})", S::live, ""},
    {"enabled without playing", R"({"enabled": true})", S::onAir, ""},
    {"enabled and not playing", R"({"enabled": true, "playing": false})", S::idle, ""},
    {"playing but not enabled", R"({"playing": true, "enabled": false})", S::idle, ""},
    {"playing without enabled", R"({"playing": true})", S::idle, ""},
    {"setup complete true", R"({"setup_complete": true, "enabled": true})", S::onAir, ""},
    {"everything off", R"({"setup_complete": true, "enabled": false, "live_mode": false})", S::idle,
     ""},
};

const DeriveCase kFlagTypes[] = {
    {"setup_complete as string", R"({"setup_complete": "false"})", S::idle, ""},
    {"setup_complete null", R"({"setup_complete": null, "enabled": true})", S::onAir, ""},
    {"setup_complete 0", R"({"setup_complete": 0})", S::needsSetup, ""},
    {"setup_complete 0.0", R"({"setup_complete": 0.0})", S::needsSetup, ""},
    {"setup_complete 2", R"({"setup_complete": 2})", S::idle, ""},
    {"enabled 1, no playing", R"({"enabled": 1})", S::onAir, ""},
    {"enabled 1.0, no playing", R"({"enabled": 1.0})", S::onAir, ""},
    {"enabled 2", R"({"enabled": 2})", S::idle, ""},
    {"enabled -1", R"({"enabled": -1})", S::idle, ""},
    {"enabled 0.5", R"({"enabled": 0.5})", S::idle, ""},
    {"enabled as string", R"({"enabled": "true"})", S::idle, ""},
    {"enabled as array", R"({"enabled": [true]})", S::idle, ""},
    {"playing 0", R"({"enabled": true, "playing": 0})", S::idle, ""},
    {"playing as string keeps enabled", R"({"enabled": true, "playing": "no"})", S::onAir, ""},
    {"playing 2 keeps enabled", R"({"enabled": true, "playing": 2})", S::onAir, ""},
    {"live_mode 1", R"({"live_mode": 1})", S::live, ""},
    {"live_mode as string", R"({"live_mode": "true", "enabled": true})", S::onAir, ""},
    {"live_mode 1e0", R"({"live_mode": 1e0})", S::live, ""},
};

const DeriveCase kNowPlaying[] = {
    {"now text", R"({"enabled": true, "now": "Harbour at dawn.mp4"})", S::onAir,
     "Harbour at dawn.mp4"},
    {"now on idle", R"({"now": "intro.mov"})", S::idle, "intro.mov"},
    {"now on needs setup", R"({"setup_complete": false, "now": "x"})", S::needsSetup, "x"},
    {"now as number", R"({"enabled": true, "now": 42})", S::onAir, ""},
    {"now null", R"({"enabled": true, "now": null})", S::onAir, ""},
    {"now unicode", R"({"now": "Caf\u00e9 \u2014 n\u00b01"})", S::idle,
     "Caf\u00e9 \u2014 n\u00b01"},
};

INSTANTIATE_TEST_SUITE_P(Unreadable, DeriveStatus, ::testing::ValuesIn(kUnreadable));
INSTANTIATE_TEST_SUITE_P(States, DeriveStatus, ::testing::ValuesIn(kStates));
INSTANTIATE_TEST_SUITE_P(FlagTypes, DeriveStatus, ::testing::ValuesIn(kFlagTypes));
INSTANTIATE_TEST_SUITE_P(NowPlaying, DeriveStatus, ::testing::ValuesIn(kNowPlaying));

}  // namespace
}  // namespace kestrova
