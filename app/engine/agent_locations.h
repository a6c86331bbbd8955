// Where this copy of the app keeps the engine, and how launchd names the engine's service.
#pragma once

#include <string>

namespace kestrova::Agent {

// The bundle's resources folder, or "." when the bundle reports none.
[[nodiscard]] std::string resourcesDir();
// resources + "/engine/runtime/kestrova-engine"
[[nodiscard]] std::string engineExecutable();
// resources + "/engine/kestrova.py"
[[nodiscard]] std::string engineScript();
// resources + "/engine": what the engine is told in KESTROVA_RESOURCES.
[[nodiscard]] std::string resourcesValue();
// "gui/<uid>"
[[nodiscard]] std::string domainTarget();
// "gui/<uid>/<label>"
[[nodiscard]] std::string serviceTarget();

}  // namespace kestrova::Agent
