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

namespace {

void replaceSecretMembers(nlohmann::json& value) {
  if (value.is_object()) {
    for (auto& [key, member] : value.items()) {
      if (isSecretKey(key)) {
        member = "<removed>";
      } else {
        replaceSecretMembers(member);
      }
    }
  } else if (value.is_array()) {
    for (auto& member : value) replaceSecretMembers(member);
  }
}

}  // namespace

std::optional<std::string> redactedConfig(std::string_view configText) {
  // Collected first: it also bounds the depth the replacement below walks.
  const auto secrets = secretValues(configText);
  if (!secrets) return std::nullopt;
  // nlohmann::json keeps object members in a std::map, so every object comes out key-sorted.
  auto config = nlohmann::json::parse(configText, nullptr, /*allow_exceptions=*/false);
  if (!config.is_object()) return std::nullopt;
  replaceSecretMembers(config);
  try {
    return withoutSecrets(config.dump(2), *secrets);
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;
  }
}

std::optional<std::string> redactedLog(std::string_view log,
                                       const std::optional<std::string>& configText) {
  if (!configText) return std::string(log);
  const auto secrets = secretValues(*configText);
  if (!secrets) return std::nullopt;
  return withoutSecrets(log, *secrets);
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
  text += redactedLog(facts.logTail, facts.configText).value_or(std::string(kLogWithheld));
  return text;
}

}  // namespace kestrova::Diagnostics
