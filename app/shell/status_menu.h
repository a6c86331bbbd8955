// The status item's face: its icon per engine state and its menu, built as plain values.
#pragma once

#include <string>

#include "app/engine/engine_status.h"
#include "app/platform/menu.h"

namespace kestrova {

struct StatusAppearance {
  std::string symbol;         // system symbol name
  std::string accessibility;  // read out by VoiceOver; the state's label
  std::string fallbackTitle;  // shown instead where the symbol cannot be had
  bool operator==(const StatusAppearance&) const = default;
};

[[nodiscard]] StatusAppearance appearanceFor(EngineStatus status);

// The whole status menu for one moment: every item depends only on these three facts.
[[nodiscard]] Menu buildStatusMenu(EngineStatus status, const std::string& lastNow,
                                   bool agentFileExists);

}  // namespace kestrova
