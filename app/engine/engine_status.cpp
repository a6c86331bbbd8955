#include "app/engine/engine_status.h"

#include <nlohmann/json.hpp>

#include "app/platform/untrusted_json.h"

namespace kestrova {
namespace {

// A line under the state in a menu (and in a terminal): longer text only widens the menu.
constexpr std::size_t kMaxNowCharacters = 200;

// The text as one line to show: control characters (C0, DEL and C1, terminal escapes among them)
// become spaces, and it ends after kMaxNowCharacters characters. `text` is well-formed UTF-8.
std::string displayLine(std::string_view text) {
  std::string line;
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size() && characters < kMaxNowCharacters; ++characters) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    const bool c1 =
        lead == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0;
    if (lead < 0x20 || lead == 0x7F || c1) {
      line += ' ';
    } else {
      line.append(text, i, length);
    }
    i += length;
  }
  return line;
}

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
  nlohmann::json reply = parseUntrustedJson(*body);
  // A healthy engine may still write a file name it could not decode into `now`: its state
  // counts, the unreadable text does not.
  const bool repaired = reply.is_discarded();
  if (repaired) {
    reply = parseUntrustedJson(repairedJsonText(*body));
  }
  if (reply.is_discarded() || !reply.is_object()) {
    return {};
  }
  const bool setupComplete = readFlag(reply, "setup_complete", true);
  const bool enabled = readFlag(reply, "enabled", false);
  const bool liveMode = readFlag(reply, "live_mode", false);
  const bool playing = readFlag(reply, "playing", enabled);

  StatusReport report;
  const auto now = reply.find("now");
  if (!repaired && now != reply.end() && now->is_string()) {
    report.now = displayLine(now->get_ref<const std::string&>());
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
