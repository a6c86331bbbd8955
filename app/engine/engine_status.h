// The engine's state as the menu bar shows it, and its derivation from a status reply.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrova {

enum class EngineStatus { offline, idle, onAir, live, needsSetup };

[[nodiscard]] std::string_view label(EngineStatus status);

struct StatusReport {
  EngineStatus status = EngineStatus::offline;
  std::string now;
  bool operator==(const StatusReport&) const = default;
};

// Reduces a status reply's body to a report; an absent body means the request failed. A reply
// that is JSON only once its ill-formed text is repaired keeps its state and loses `now`; `now`
// is one line of at most 200 characters, control characters turned to spaces.
[[nodiscard]] StatusReport deriveStatus(std::optional<std::string_view> body);

}  // namespace kestrova
