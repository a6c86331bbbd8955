#include "app/engine/paths.h"

#include <cmath>
#include <filesystem>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>

#include "app/engine/constants.h"
#include "app/platform/file_text.h"
#include "app/platform/platform.h"

namespace kestrova::Paths {
namespace {

constexpr std::int64_t kLowestPort = 1;
constexpr std::int64_t kHighestPort = 65535;

std::filesystem::path home() { return platform().host().homeDirectory(); }

// A JSON number counts when it is exactly an integer that fits 64 signed bits: 9000 and 9000.0
// do, 9000.5 and 1e300 do not.
std::optional<std::int64_t> exactInteger(const nlohmann::json& value) {
  if (value.is_number_integer() && !value.is_number_unsigned()) {
    return value.get<std::int64_t>();
  }
  if (value.is_number_unsigned()) {
    const auto unsignedValue = value.get<std::uint64_t>();
    if (unsignedValue > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      return std::nullopt;
    }
    return static_cast<std::int64_t>(unsignedValue);
  }
  if (value.is_number_float()) {
    const double number = value.get<double>();
    // 2^63 is exactly representable as a double; every double below it that is whole fits.
    constexpr double kTwoTo63 = 9223372036854775808.0;
    if (!std::isfinite(number) || std::trunc(number) != number || number < -kTwoTo63 ||
        number >= kTwoTo63) {
      return std::nullopt;
    }
    return static_cast<std::int64_t>(number);
  }
  return std::nullopt;
}

std::optional<std::int64_t> configuredPort() {
  const std::optional<std::string> text = readWholeFile(configFile());
  if (!text) {
    return std::nullopt;
  }
  const nlohmann::json config = nlohmann::json::parse(*text, nullptr, /*allow_exceptions=*/false);
  if (config.is_discarded() || !config.is_object()) {
    return std::nullopt;
  }
  const auto found = config.find("port");
  if (found == config.end()) {
    return std::nullopt;
  }
  return exactInteger(*found);
}

}  // namespace

std::string engineDataDir() {
  return (home() / "Library" / "Application Support" / "Kestrova").string();
}

std::string configFile() {
  return (std::filesystem::path(engineDataDir()) / "config.json").string();
}

std::string logDir() { return (std::filesystem::path(engineDataDir()) / "logs").string(); }

std::string agentPlist() {
  return (home() / "Library" / "LaunchAgents" / (std::string(kAgentLabel) + ".plist")).string();
}

std::int64_t port() {
  const std::optional<std::int64_t> configured = configuredPort();
  // A port no socket can use would only make every request fail; the default at least reaches an
  // engine that never had its port changed.
  if (!configured || *configured < kLowestPort || *configured > kHighestPort) {
    return kDefaultPort;
  }
  return *configured;
}

std::string dashboardURL() { return engineURL("/"); }

std::string engineURL(const std::string& path) {
  return "http://127.0.0.1:" + std::to_string(port()) + path;
}

}  // namespace kestrova::Paths
