// Starting a supervisor that outlives launchctl and holds nothing of the caller's: its own
// session, /dev/null for its standard streams, no inherited descriptors (a caller reading our
// output to its end must see that end when launchctl exits).
#pragma once

#include <optional>
#include <string>

namespace kestrova::launchd {

// Absent once the supervisor reports the service loaded, else the reason it is not.
[[nodiscard]] std::optional<std::string> spawnSupervisor(const std::string& domain,
                                                         const std::string& plistPath);

}  // namespace kestrova::launchd
