// The diagnostics report's layout, what of the configuration and the log it may show, and how
// much of the log it reads.
#include "app/support/diagnostics_report.h"

#include <gtest/gtest.h>

#include "app/support/log_tail.h"
#include "tests/support/sandbox.h"

namespace kestrova::Diagnostics {
namespace {

// Generated, app, system, agent installed, state, no config, the log.
const ReportFacts kSample{std::chrono::sys_seconds(std::chrono::seconds(1772373909)),
                          "1.4.2",
                          "Version 14.5 (Build 23F79)",
                          true,
                          EngineStatus::onAir,
                          std::nullopt,
                          "line one\nline two\n"};

// The config is pretty-printed with sorted keys, one member per line; a listed key loses its
// value whatever it is and wherever it stands, and a secret inside another value goes too.
TEST(DiagnosticsReport, LaysOutTheHeaderTheConfigAndTheLog) {
  ReportFacts facts = kSample;
  facts.configText = R"({"b": {"y": 1, "x": [2, "at pw"], "password": "pw"}, "a": "é",
                         "wa_token": [3]})";
  EXPECT_EQ(buildReport(facts),
            "Kestrova diagnostics\ngenerated: 2026-03-01 14:05:09 +0000\napp: 1.4.2\n"
            "macOS: Version 14.5 (Build 23F79)\nagent installed: true\nstatus: ON AIR\n\n"
            "--- config (secrets removed) ---\n{\n  \"a\": \"é\",\n  \"b\": {\n"
            "    \"password\": \"<removed>\",\n    \"x\": [\n      2,\n      \"at <removed>\"\n"
            "    ],\n    \"y\": 1\n  },\n  \"wa_token\": \"<removed>\"\n}\n\n"
            "--- last 400 log lines ---\nline one\nline two\n");
  facts.appVersion.reset();
  facts.agentInstalled = false;
  EXPECT_NE(buildReport(facts).find("\napp: ?\n"), std::string::npos);
  EXPECT_NE(buildReport(facts).find("\nagent installed: false\n"), std::string::npos);
}

// Spelled out here rather than taken from the code's list, so that a key dropped from it shows.
TEST(DiagnosticsReport, EveryEngineSecretKeyLosesItsValueAtAnyDepth) {
  for (const std::string key :
       {"stream_key", "password", "telegram_token", "wa_token", "yt_api_key", "yt_client_secret",
        "fb_page_token", "fb_rtmp_url", "assistant_key", "not_a_secret"}) {
    SCOPED_TRACE(key);
    ReportFacts facts = kSample;
    facts.configText =
        R"({")" + key + R"(": "Top-9z", "outputs": [{")" + key + R"(": "Deep-9z"}]})";
    facts.logTail = "using Top-9z and Deep-9z\n";
    EXPECT_EQ(buildReport(facts).find("-9z") != std::string::npos, key == "not_a_secret");
  }
}

TEST(DiagnosticsReport, TheLogLosesEverySecretHoweverWrittenAndIsLeftOutWhenTheyAreUnknown) {
  const std::string withheld(kLogWithheld);
  const std::vector<std::tuple<std::optional<std::string>, std::string, std::string>> table = {
      {R"({"password": "p\"a ss/é", "port": 8787})",
       "a p\"a ss/é b p\\\"a ss\\/\\u00e9 c p%22a%20ss%2F%C3%A9 d p%22a+ss/%c3%a9 port 8787",
       "a <removed> b <removed> c <removed> d <removed> port 8787"},
      {R"({"yt_api_key": {"v": [1.50]}, "outputs": [{"stream_key": 12345678901234567890123}]})",
       "key 1.50 and 12345678901234567890123", "key <removed> and <removed>"},
      {R"({"password": "KEY-1", "stream_key": "KEY-12", "fb_rtmp_url": "rtmp://x/KEY"})",
       "KEY-12 KEY-1 rtmp://x/KEY-12 KEY", "<removed> <removed> <removed> KEY"},
      {std::nullopt, "no config, no secrets", "no config, no secrets"},
      {R"({"stream_key": "k1", "gain": NaN})", "k1", withheld},
      {R"({"stream_key": "k1", "outp)", "k1", withheld},
      {std::string(100, '[') + std::string(100, ']'), "k1", withheld},
      {R"({"stream_key": "k1", "x": )" + std::string(63, '[') + std::string(63, ']') + "}", "k1",
       "<removed>"},
      {R"({"password": "é"})", "ends \\u00e9", "ends <removed>"},
  };
  for (const auto& [config, log, shown] : table) {
    SCOPED_TRACE(config.value_or("none") + " / " + log);
    ReportFacts facts = kSample;
    facts.configText = config;
    facts.logTail = log;
    EXPECT_TRUE(buildReport(facts).ends_with("log lines ---\n" + shown)) << buildReport(facts);
  }
}

// Only the end of the file is read, however its lines end; a line that bound cuts is dropped.
TEST(DiagnosticsReport, TheLogTailReadsOnlyTheFilesEnd) {
  const testing::Sandbox sandbox;
  const std::string line = std::string(999, 'x') + "\n";
  std::string lines;
  for (int i = 0; i < 300; ++i) lines += line;
  const std::vector<std::pair<std::string, std::string>> table = {
      {std::string(1 << 21, '\r') + "done\r", std::string(kMaxLogTailBytes - 5, '\r') + "done\r"},
      {"cut" + line + lines, lines.substr(lines.size() - kMaxLogTailBytes / 1000 * 1000)},
  };
  for (const auto& [file, tail] : table) {
    EXPECT_EQ(lastLogLines(sandbox.write("stream.log", file), 400), tail);
  }
  EXPECT_EQ(lastLogLines(sandbox.write("short.log", "a\nb\n"), 0), "");
}

}  // namespace
}  // namespace kestrova::Diagnostics
