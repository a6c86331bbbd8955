// The status request: one GET of /api/status, derived off the main thread, delivered on it.
#pragma once

#include <functional>

#include "app/engine/engine_status.h"

namespace kestrova {

inline constexpr double kStatusTimeoutSeconds = 3.0;

// Sends the request to the engine's current port and returns at once. The reply is derived on the
// URL-loading thread and `apply` runs on the main thread through one post.
void requestStatus(std::function<void(StatusReport)> apply);

}  // namespace kestrova
