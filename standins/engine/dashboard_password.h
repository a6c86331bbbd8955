// The dashboard password: made once, on the engine's first start, and kept in the Keychain.
#pragma once

#include <optional>
#include <string>

#include "standins/engine/stream_log.h"

namespace kestrova::engine {

// The Keychain tool: $KESTROVA_STANDINS_DIR/security; else beside the engine,
// $KESTROVA_RESOURCES/../standins/security, or, without that variable, the same place found from
// this program's own path. Absent when none is known.
[[nodiscard]] std::optional<std::string> securityTool();

// When the Keychain holds no dashboard password yet, makes a random one and stores it there.
// Never writes the password anywhere else (not to the log, not to standard output); a failure
// is logged and the engine carries on.
void ensureDashboardPassword(StreamLog& log);

}  // namespace kestrova::engine
