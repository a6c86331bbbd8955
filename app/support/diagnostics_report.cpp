#include "app/support/diagnostics_report.h"

#include <algorithm>
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

namespace {

// The texts a secret value can leave in a log: a string as it is, a number as written, and the
// strings and numbers inside an array or object. Null and true/false are too common to remove.
void collectSecretTexts(const nlohmann::json& value, std::vector<std::string>& texts) {
  if (value.is_string()) {
    texts.push_back(value.get<std::string>());
  } else if (value.is_number()) {
    texts.push_back(value.dump());
  } else if (value.is_structured()) {
    for (const auto& member : value) {
      collectSecretTexts(member, texts);
    }
  }
}

}  // namespace

std::string redactedLog(std::string_view log, const std::optional<std::string>& configText) {
  const auto config =
      configText ? nlohmann::json::parse(*configText, nullptr, false) : nlohmann::json();
  std::vector<std::string> secrets;
  if (config.is_object()) {
    for (const auto key : kSecretKeys) {
      if (const auto found = config.find(key); found != config.end()) {
        collectSecretTexts(*found, secrets);
      }
    }
  }
  std::erase(secrets, std::string());
  if (secrets.empty()) {
    return std::string(log);
  }
  // Longest first, so that a secret containing another goes whole.
  std::ranges::sort(secrets, [](const auto& a, const auto& b) { return a.size() > b.size(); });
  std::string text;
  for (std::size_t at = 0; at < log.size();) {
    const auto secret = std::ranges::find_if(
        secrets, [&](const std::string& s) { return log.substr(at).starts_with(s); });
    if (secret != secrets.end()) {
      text += "<removed>";
      at += secret->size();
    } else {
      text += log[at++];
    }
  }
  return text;
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
  text += redactedLog(facts.logTail, facts.configText);
  return text;
}

}  // namespace kestrova::Diagnostics
