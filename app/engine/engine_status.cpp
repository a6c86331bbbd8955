#include "app/engine/engine_status.h"

#include <nlohmann/json.hpp>

namespace kestrova {
namespace {

// A flag counts when it is a JSON boolean or a number equal to 0 or 1 (integer or not);
// anything else, including a missing key, takes the default.
bool readFlag(const nlohmann::json& object, const char* key, bool fallback) {
  const auto found = object.find(key);
  if (found == object.end()) {
    return fallback;
  }
  const nlohmann::json& value = *found;
  if (value.is_boolean()) {
    return value.get<bool>();
  }
  if (value.is_number()) {
    const double number = value.get<double>();
    if (number == 0.0 || number == 1.0) {
      return number == 1.0;
    }
  }
  return fallback;
}

}  // namespace

std::string_view label(EngineStatus status) {
  switch (status) {
    case EngineStatus::offline:
      return "Offline";
    case EngineStatus::idle:
      return "Idle \u2014 not broadcasting";
    case EngineStatus::onAir:
      return "ON AIR";
    case EngineStatus::live:
      return "LIVE EVENT";
    case EngineStatus::needsSetup:
      return "Setup needed";
  }
  return "Offline";
}

StatusReport deriveStatus(std::optional<std::string_view> body) {
  if (!body) {
    return {};
  }
  const nlohmann::json reply = nlohmann::json::parse(*body, nullptr, /*allow_exceptions=*/false);
  if (reply.is_discarded() || !reply.is_object()) {
    return {};
  }
  const bool setupComplete = readFlag(reply, "setup_complete", true);
  const bool enabled = readFlag(reply, "enabled", false);
  const bool liveMode = readFlag(reply, "live_mode", false);
  const bool playing = readFlag(reply, "playing", enabled);

  StatusReport report;
  const auto now = reply.find("now");
  if (now != reply.end() && now->is_string()) {
    report.now = now->get<std::string>();
  }
  if (!setupComplete) {
    report.status = EngineStatus::needsSetup;
  } else if (liveMode) {
    report.status = EngineStatus::live;
  } else if (enabled && playing) {
    report.status = EngineStatus::onAir;
  } else {
    report.status = EngineStatus::idle;
  }
  return report;
}

}  // namespace kestrova
