// The text of the support report: versions, agent, engine state, redacted configuration, log tail.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/engine/engine_status.h"
#include "app/support/report_secrets.h"

namespace kestrova::Diagnostics {

// What the report is made of, gathered by the caller.
struct ReportFacts {
  std::chrono::system_clock::time_point generated;
  std::optional<std::string> appVersion;  // "?" when absent
  std::string osVersion;
  bool agentInstalled = false;
  EngineStatus status = EngineStatus::offline;
  // The engine's config.json; absent when there is none. One that exists but cannot be read is
  // given as text that is not an object, so that its secrets are taken as unknown.
  std::optional<std::string> configText;
  std::string logTail;  // the log command's output, whatever it was
};

// What the log section holds when the configuration's secrets cannot be known.
inline constexpr std::string_view kLogWithheld =
    "(left out: config.json could not be read as a JSON object, so the secrets it holds could "
    "not be removed from the log)\n";

// "2026-03-01 14:05:09 +0000"
[[nodiscard]] std::string utcTimestamp(std::chrono::system_clock::time_point time);

// The configuration with the value of every listed key, at any depth, replaced by "<removed>",
// and any secret standing inside another value removed too; pretty-printed with sorted keys.
// Absent when the text is not a JSON object.
[[nodiscard]] std::optional<std::string> redactedConfig(std::string_view configText);

// The log with every secret value of the configuration removed wherever and however it appears:
// the engine may have logged a stream URL or a token, and the report promises to hold none.
// Absent when the configuration exists but its secrets cannot be known.
[[nodiscard]] std::optional<std::string> redactedLog(std::string_view log,
                                                     const std::optional<std::string>& configText);

[[nodiscard]] std::string buildReport(const ReportFacts& facts);

}  // namespace kestrova::Diagnostics
