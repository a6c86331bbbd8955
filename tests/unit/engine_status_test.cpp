// The menu bar's state comes from this derivation alone; each row is a reply an engine (or
// something else on the port) can really send. The exact label texts are checked through the
// status menu's titles.
#include "app/engine/engine_status.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kestrova {
namespace {

struct DeriveCase {
  const char* name;
  std::optional<std::string> body;
  EngineStatus status;
  std::string now;
};

using S = EngineStatus;

const DeriveCase kCases[] = {
    // Anything but a JSON object is offline.
    {"request failed", std::nullopt, S::offline, ""},
    {"empty body", "", S::offline, ""},
    {"truncated object", R"({"enabled": true, "now": "a.mp4")", S::offline, ""},
    {"array", R"([{"enabled": true}])", S::offline, ""},
    // The flag rules, in their order of precedence.
    {"empty object", "{}", S::idle, ""},
    {"setup wins over everything",
     R"({"setup_complete": false, "live_mode": true, "enabled": true, "playing": true})",
     S::needsSetup, ""},
    {"live over on air", R"({"live_mode": true, "enabled": true, "playing": true})", S::live, ""},
    {"enabled without playing", R"({"enabled": true})", S::onAir, ""},
    {"enabled and not playing", R"({"enabled": true, "playing": false})", S::idle, ""},
    {"playing without enabled", R"({"playing": true})", S::idle, ""},
    // A flag is a boolean or a number equal to 0 or 1; anything else takes the flag's default
    // (one reader serves every flag: one row per kind of value).
    {"setup_complete as string", R"({"setup_complete": "false"})", S::idle, ""},
    {"setup_complete 0", R"({"setup_complete": 0})", S::needsSetup, ""},
    {"setup_complete 2", R"({"setup_complete": 2})", S::idle, ""},
    {"enabled 1, no playing", R"({"enabled": 1})", S::onAir, ""},
    {"enabled 0.5", R"({"enabled": 0.5})", S::idle, ""},
    {"playing 0", R"({"enabled": true, "playing": 0})", S::idle, ""},
    {"playing as string keeps enabled", R"({"enabled": true, "playing": "no"})", S::onAir, ""},
    // The text shown under the state, whatever the state.
    {"now text", R"({"enabled": true, "now": "Harbour at dawn.mp4"})", S::onAir,
     "Harbour at dawn.mp4"},
    {"now as number", R"({"enabled": true, "now": 42})", S::onAir, ""},
    {"now unicode", R"({"now": "Caf\u00e9 \u2014 n\u00b01"})", S::idle,
     "Caf\u00e9 \u2014 n\u00b01"},
};

TEST(DeriveStatus, FollowsTheFlagRules) {
  for (const DeriveCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const StatusReport report =
        deriveStatus(c.body ? std::optional<std::string_view>(*c.body) : std::nullopt);
    EXPECT_EQ(report.status, c.status) << "got " << label(report.status);
    EXPECT_EQ(report.now, c.now);
  }
}

}  // namespace
}  // namespace kestrova
