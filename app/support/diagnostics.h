// The "Send Diagnostics to Support…" command: the report saved to the Desktop and shown.
#pragma once

#include <string>

#include "app/engine/engine_status.h"
#include "app/support/diagnostics_report.h"

namespace kestrova::Diagnostics {

inline constexpr const char* kSavedMessage = "Diagnostics saved to your Desktop";
inline constexpr const char* kSavedText =
    "Attach Kestrova-Diagnostics.txt to your message to support.\n\nIt contains no passwords or "
    "stream keys.";
inline constexpr const char* kNotSavedMessage = "Could not save the diagnostics report";

// home/Desktop/Kestrova-Diagnostics.txt
[[nodiscard]] std::string reportPath();

// Collects the facts from the host, the engine's files and the log command (which blocks).
[[nodiscard]] ReportFacts gather(EngineStatus status);

// The whole command, on the main thread. When the report cannot be written the user is told so,
// with the system's reason, and no file is revealed.
void save(EngineStatus status);

}  // namespace kestrova::Diagnostics
