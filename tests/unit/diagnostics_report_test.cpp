// The diagnostics report's layout and what of the configuration it may show.
#include "app/support/diagnostics_report.h"

#include <gtest/gtest.h>

namespace kestrova::Diagnostics {
namespace {

ReportFacts sampleFacts() {
  ReportFacts facts;
  facts.generated = std::chrono::system_clock::time_point(std::chrono::seconds(1772373909));
  facts.appVersion = "1.4.2";
  facts.osVersion = "Version 14.5 (Build 23F79)";
  facts.agentInstalled = true;
  facts.status = EngineStatus::onAir;
  facts.logTail = "line one\nline two\n";
  return facts;
}

// The config is pretty-printed with sorted keys, one member per line; a listed key at the top
// level loses its value whatever it is, a nested one keeps it. The fuzzer covers every listed key.
TEST(DiagnosticsReport, LaysOutTheHeaderTheConfigAndTheLog) {
  ReportFacts facts = sampleFacts();
  facts.configText = R"({"b": {"y": 1, "x": [1, 2], "password": 3}, "a": "é", "wa_token": [1]})";
  EXPECT_EQ(buildReport(facts),
            "Kestrova diagnostics\ngenerated: 2026-03-01 14:05:09 +0000\napp: 1.4.2\n"
            "macOS: Version 14.5 (Build 23F79)\nagent installed: true\nstatus: ON AIR\n\n"
            "--- config (secrets removed) ---\n{\n  \"a\": \"é\",\n  \"b\": {\n"
            "    \"password\": 3,\n    \"x\": [\n      1,\n      2\n    ],\n    \"y\": 1\n  },\n"
            "  \"wa_token\": \"<removed>\"\n}\n\n--- last 400 log lines ---\nline one\nline two\n");
  facts.appVersion.reset();
  facts.agentInstalled = false;
  EXPECT_NE(buildReport(facts).find("\napp: ?\n"), std::string::npos);
  EXPECT_NE(buildReport(facts).find("\nagent installed: false\n"), std::string::npos);
}

TEST(DiagnosticsReport, TheLogTailLosesEverySecretValueWhereverItStands) {
  ReportFacts facts = sampleFacts();
  facts.configText = R"({"password": "hunter2", "fb_rtmp_url": "rtmp://fb/live/KEY-1",
                         "yt_api_key": {"v": 98765}, "port": 8787, "wa_token": ""})";
  facts.logTail =
      "login hunter2 ok\npushing to rtmp://fb/live/KEY-1 (KEY-1)\nkey 98765 port 8787\n";
  EXPECT_TRUE(buildReport(facts).ends_with(
      "---\nlogin <removed> ok\npushing to <removed> (KEY-1)\nkey <removed> port 8787\n"));
}

}  // namespace
}  // namespace kestrova::Diagnostics
