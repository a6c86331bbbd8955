#include "app/engine/agent_locations.h"

#include "app/engine/constants.h"
#include "app/platform/platform.h"

namespace kestrova::Agent {

std::string resourcesDir() { return platform().host().resourcesPath().value_or("."); }

std::string engineExecutable() { return resourcesDir() + "/engine/runtime/kestrova-engine"; }

std::string engineScript() { return resourcesDir() + "/engine/kestrova.py"; }

std::string resourcesValue() { return resourcesDir() + "/engine"; }

std::string domainTarget() { return "gui/" + std::to_string(platform().host().userId()); }

std::string serviceTarget() { return domainTarget() + "/" + kAgentLabel; }

}  // namespace kestrova::Agent
