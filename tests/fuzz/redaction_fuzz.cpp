// Whatever the engine's configuration holds, no listed top-level value reaches the report.
#include <nlohmann/json.hpp>

#include "app/support/diagnostics_report.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using kestrova::fuzzing::require;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto redacted = kestrova::Diagnostics::redactedConfig(text);
  if (!redacted) return 0;
  // An accepted configuration is an object, and is shown as one again.
  const auto original = nlohmann::json::parse(text, nullptr, false);
  const auto shown = nlohmann::json::parse(*redacted, nullptr, false);
  require(original.is_object() && shown.is_object());
  for (const auto key : kestrova::Diagnostics::kSecretKeys) {
    const std::string name(key);
    require(!original.contains(name) || shown.value(name, nlohmann::json()) == "<removed>");
  }
  return 0;
}
