// The menu bar's state comes from this derivation alone; each row is a reply an engine (or
// something else on the port) can really send.
#include "app/engine/engine_status.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

using S = EngineStatus;

// Anything but a JSON object is offline; setup needed wins over live, live over on air, and on
// air needs enabled and playing (which defaults to enabled). A flag is a boolean or a number
// equal to 0 or 1; anything else takes the flag's default.
TEST(DeriveStatus, FollowsTheFlagRules) {
  const std::pair<const char*, S> cases[] = {
      {"", S::offline},
      {R"([{"enabled": true}])", S::offline},
      {"{}", S::idle},
      {R"({"setup_complete": false, "live_mode": true, "enabled": true})", S::needsSetup},
      {R"({"live_mode": true, "enabled": true, "playing": true})", S::live},
      {R"({"enabled": true})", S::onAir},
      {R"({"enabled": true, "playing": false})", S::idle},
      {R"({"playing": true})", S::idle},
      {R"({"setup_complete": 0})", S::needsSetup},
      {R"({"setup_complete": "false"})", S::idle},
      {R"({"enabled": 1})", S::onAir},
      {R"({"enabled": 0.5})", S::idle},
      {"{\"enabled\": true, \"now\": \"caf\xE9.mp4\"}", S::onAir},  // not UTF-8: state kept
      {R"({"enabled": true, "now": "\udc80.mp4"})", S::onAir},      // an unpaired surrogate
  };
  for (const auto& [body, status] : cases) {
    EXPECT_EQ(label(deriveStatus(body).status), label(status)) << body;
  }
  // The text under the state line, whatever the state; only a string counts.
  EXPECT_EQ(deriveStatus(R"({"now": "Caf\u00e9\u00a0\u2014 1"})").now, "Caf\u00e9\u00a0\u2014 1");
  EXPECT_EQ(deriveStatus(R"({"enabled": true, "now": 42})").now, "");
  // Unreadable text is no text; what is shown is one line, without terminal escapes, and short.
  EXPECT_EQ(deriveStatus("{\"now\": \"caf\xE9\"}").now, "");
  EXPECT_EQ(deriveStatus(R"({"now": "A\ud83c\udfb5\u001b[2J\n\u0085\u007fB"})").now,
            "A\U0001F3B5 [2J   B");
  std::string line(100, 'x');  // and 200 characters of three bytes (a Thai letter)
  for (int i = 0; i < 200; ++i) line += "\u0e01";
  EXPECT_EQ(deriveStatus("{\"now\": \"" + line + "\"}").now, line.substr(0, 400));
}

}  // namespace
}  // namespace kestrova
