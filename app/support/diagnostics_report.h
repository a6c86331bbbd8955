// The text of the support report: versions, agent, engine state, redacted configuration, log tail.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/engine/engine_status.h"

namespace kestrova::Diagnostics {

// What the report is made of, gathered by the caller.
struct ReportFacts {
  std::chrono::system_clock::time_point generated;
  std::optional<std::string> appVersion;  // "?" when absent
  std::string osVersion;
  bool agentInstalled = false;
  EngineStatus status = EngineStatus::offline;
  std::optional<std::string> configText;  // the engine's config.json, when it could be read
  std::string logTail;                    // the log command's output, whatever it was
};

// Top-level configuration keys whose values never leave the machine.
inline constexpr std::string_view kSecretKeys[] = {
    "stream_key",       "password",      "telegram_token", "wa_token",     "yt_api_key",
    "yt_client_secret", "fb_page_token", "fb_rtmp_url",    "assistant_key"};

// "2026-03-01 14:05:09 +0000"
[[nodiscard]] std::string utcTimestamp(std::chrono::system_clock::time_point time);

// The configuration with every secret top-level value replaced by "<removed>", pretty-printed
// with sorted keys. Absent when the text is not a JSON object.
[[nodiscard]] std::optional<std::string> redactedConfig(std::string_view configText);

// The log with every value of those keys in the configuration removed wherever it appears: the
// engine may have logged a stream URL or a token, and the report promises to hold none.
[[nodiscard]] std::string redactedLog(std::string_view log,
                                      const std::optional<std::string>& configText);

[[nodiscard]] std::string buildReport(const ReportFacts& facts);

}  // namespace kestrova::Diagnostics
