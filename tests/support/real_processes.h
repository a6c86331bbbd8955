// Helpers for tests that drive real processes: a free loopback port and a bounded wait.
#pragma once

#include <functional>
#include <string>

namespace kestrova::testing {

// A loopback port that was free a moment ago (bound and released), or 0.
[[nodiscard]] int freePort();

// Real processes take real time: waits until the condition holds or the limit has passed, and
// says which. This bounds a wait, it does not measure one.
bool eventually(const std::function<bool()>& condition, double limitSeconds = 15);

}  // namespace kestrova::testing
