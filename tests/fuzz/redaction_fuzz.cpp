// Whatever the engine's configuration holds, no listed top-level value reaches the report.
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "app/support/diagnostics_report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using kestrova::Diagnostics::kSecretKeys;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto redacted = kestrova::Diagnostics::redactedConfig(text);
  if (!redacted) {
    return 0;
  }
  nlohmann::json original;
  nlohmann::json shown;
  try {
    original = nlohmann::json::parse(text);
    shown = nlohmann::json::parse(*redacted);
  } catch (const nlohmann::json::exception&) {
    std::abort();  // an accepted configuration is shown as JSON again
  }
  if (!original.is_object() || !shown.is_object()) {
    std::abort();
  }
  for (const auto key : kSecretKeys) {
    const std::string name(key);
    if (original.contains(name) && shown.value(name, nlohmann::json()) != "<removed>") {
      std::abort();
    }
  }
  return 0;
}
