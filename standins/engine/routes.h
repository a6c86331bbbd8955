// The stand-in engine's HTTP interface: the dashboard page and its JSON endpoints.
#pragma once

#include "standins/engine/engine_state.h"
#include "standins/engine/loopback_http.h"

namespace kestrova::engine {

// Every reply to an /api/ request is a JSON object; a refused request carries a string `error`.
[[nodiscard]] Reply answer(const Request& request, EngineState& state);

}  // namespace kestrova::engine
