#include "app/support/diagnostics_report.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace kestrova::Diagnostics {
namespace {

using std::chrono::seconds;
using std::chrono::system_clock;

ReportFacts sampleFacts() {
  ReportFacts facts;
  facts.generated = system_clock::time_point(seconds(1772373909));  // 2026-03-01 14:05:09 UTC
  facts.appVersion = "1.4.2";
  facts.osVersion = "Version 14.5 (Build 23F79)";
  facts.agentInstalled = true;
  facts.status = EngineStatus::onAir;
  facts.logTail = "line one\nline two\n";
  return facts;
}

TEST(DiagnosticsReport, LaysOutTheHeaderThenTheLogWithoutAConfig) {
  EXPECT_EQ(buildReport(sampleFacts()),
            "Kestrova diagnostics\n"
            "generated: 2026-03-01 14:05:09 +0000\n"
            "app: 1.4.2\n"
            "macOS: Version 14.5 (Build 23F79)\n"
            "agent installed: true\n"
            "status: ON AIR\n"
            "\n"
            "--- last 400 log lines ---\n"
            "line one\nline two\n");
}

TEST(DiagnosticsReport, MissingVersionAgentAndSetupStateReadAsSuch) {
  ReportFacts facts = sampleFacts();
  facts.appVersion.reset();
  facts.agentInstalled = false;
  facts.status = EngineStatus::needsSetup;
  facts.logTail = "tail: cannot open 'x' for reading: No such file or directory\n";
  const std::string report = buildReport(facts);
  EXPECT_NE(report.find("\napp: ?\n"), std::string::npos);
  EXPECT_NE(report.find("\nagent installed: false\n"), std::string::npos);
  EXPECT_NE(report.find("\nstatus: Setup needed\n\n--- last 400 log lines ---\n"),
            std::string::npos);
  // The log command's output ends the report, exactly as it came.
  EXPECT_TRUE(report.ends_with("---\n" + facts.logTail));
}

TEST(DiagnosticsReport, TimestampIsUtcWithZeroPadding) {
  EXPECT_EQ(utcTimestamp(system_clock::time_point(seconds(0))), "1970-01-01 00:00:00 +0000");
  EXPECT_EQ(utcTimestamp(system_clock::time_point(seconds(1704067199))),
            "2023-12-31 23:59:59 +0000");
}

TEST(DiagnosticsReport, ConfigThatIsNotAnObjectLeavesNoSection) {
  for (const char* text : {"", "not json", "[1, 2]", "\"text\"", "42", "null", "{\"port\": "}) {
    ReportFacts facts = sampleFacts();
    facts.configText = text;
    EXPECT_EQ(buildReport(facts), buildReport(sampleFacts())) << text;
    EXPECT_FALSE(redactedConfig(text).has_value()) << text;
  }
}

struct RedactionCase {
  const char* name;
  const char* config;
  nlohmann::json expected;
};

TEST(DiagnosticsReport, RedactsListedTopLevelKeysOnly) {
  const RedactionCase cases[] = {
      {"password string",
       R"({"password": "hunter2", "port": 8787})",
       {{"password", "<removed>"}, {"port", 8787}}},
      {"api key as number", R"({"yt_api_key": 123456789})", {{"yt_api_key", "<removed>"}}},
      {"null and array values",
       R"({"stream_key": null, "wa_token": ["a", "b"]})",
       {{"stream_key", "<removed>"}, {"wa_token", "<removed>"}}},
      {"nested listed key untouched",
       R"({"youtube": {"stream_key": "abc"}, "list": [{"password": 1}]})",
       {{"youtube", {{"stream_key", "abc"}}}, {"list", {{{"password", 1}}}}}},
      {"every listed key, whatever its value",
       R"({"stream_key": "SK-1", "password": "PW-2", "telegram_token": "TG-3",
           "wa_token": "WA-4", "yt_api_key": {"value": "YT-5"}, "yt_client_secret": ["YC-6"],
           "fb_page_token": "FB-7", "fb_rtmp_url": "rtmp://FB-8", "assistant_key": "AS-9"})",
       {{"stream_key", "<removed>"},
        {"password", "<removed>"},
        {"telegram_token", "<removed>"},
        {"wa_token", "<removed>"},
        {"yt_api_key", "<removed>"},
        {"yt_client_secret", "<removed>"},
        {"fb_page_token", "<removed>"},
        {"fb_rtmp_url", "<removed>"},
        {"assistant_key", "<removed>"}}},
      {"no listed keys",
       R"({"zeta": 1, "alpha": {"b": 2, "a": 1}, "mid": "x"})",
       {{"alpha", {{"a", 1}, {"b", 2}}}, {"mid", "x"}, {"zeta", 1}}},
  };
  for (const auto& c : cases) {
    const auto text = redactedConfig(c.config);
    ASSERT_TRUE(text.has_value()) << c.name;
    // Whole-document equality: absent keys stay absent and no secret survives anywhere.
    EXPECT_EQ(nlohmann::json::parse(*text), c.expected) << c.name;
  }
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

TEST(DiagnosticsReport, ConfigIsPrettyPrintedWithSortedKeysOneMemberPerLine) {
  const auto text = redactedConfig(R"({"b": {"y": 1, "x": [1, 2]}, "a": "é"})");
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(*text,
            "{\n"
            "  \"a\": \"é\",\n"
            "  \"b\": {\n"
            "    \"x\": [\n"
            "      1,\n"
            "      2\n"
            "    ],\n"
            "    \"y\": 1\n"
            "  }\n"
            "}");
}

}  // namespace
}  // namespace kestrova::Diagnostics
