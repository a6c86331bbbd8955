// Any status reply body derives to a state without crashing, and offline never carries a title.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/engine/engine_status.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  const auto report = kestrova::deriveStatus(body);
  if (report.status == kestrova::EngineStatus::offline && !report.now.empty()) {
    std::abort();
  }
  if (kestrova::deriveStatus(std::nullopt) != kestrova::StatusReport{}) {
    std::abort();
  }
  return 0;
}
