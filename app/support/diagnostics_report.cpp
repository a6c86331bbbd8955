#include "app/support/diagnostics_report.h"

#include <ctime>
#include <nlohmann/json.hpp>

namespace kestrova::Diagnostics {

std::string utcTimestamp(std::chrono::system_clock::time_point time) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  char text[40];
  const auto length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S +0000", &parts);
  return std::string(text, length);
}

std::optional<std::string> redactedConfig(std::string_view configText) {
  // nlohmann::json keeps object members in a std::map, so every object comes out key-sorted.
  auto config = nlohmann::json::parse(configText, nullptr, /*allow_exceptions=*/false);
  if (!config.is_object()) {
    return std::nullopt;
  }
  for (const auto key : kSecretKeys) {
    if (const auto found = config.find(key); found != config.end()) {
      *found = "<removed>";
    }
  }
  try {
    return config.dump(2);
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;
  }
}

std::string buildReport(const ReportFacts& facts) {
  std::string text = "Kestrova diagnostics\n";
  text += "generated: " + utcTimestamp(facts.generated) + "\n";
  text += "app: " + facts.appVersion.value_or("?") + "\n";
  text += "macOS: " + facts.osVersion + "\n";
  text += std::string("agent installed: ") + (facts.agentInstalled ? "true" : "false") + "\n";
  text += "status: " + std::string(label(facts.status)) + "\n\n";
  if (facts.configText) {
    if (const auto config = redactedConfig(*facts.configText)) {
      text += "--- config (secrets removed) ---\n" + *config + "\n\n";
    }
  }
  text += "--- last 400 log lines ---\n";
  text += facts.logTail;
  return text;
}

}  // namespace kestrova::Diagnostics
