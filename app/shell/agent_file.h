// Whether the engine's agent property list exists: what "installed" means to the menus.
#pragma once

namespace kestrova {

// Looks at Paths::agentPlist afresh; a file that cannot be examined counts as absent.
[[nodiscard]] bool agentFileExists();

}  // namespace kestrova
