// The stand-in engine's HTTP interface: the dashboard page and its JSON endpoints.
#pragma once

#include "standins/engine/engine_state.h"

namespace httplib {
class Server;
}

namespace kestrova::engine {

// Every reply to an /api/ request is a JSON object; a refused request carries a string `error`.
void addRoutes(httplib::Server& server, EngineState& state);

}  // namespace kestrova::engine
