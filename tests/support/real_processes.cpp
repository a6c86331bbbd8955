#include "tests/support/real_processes.h"

#include <chrono>
#include <thread>

#include "standins/engine/loopback_http.h"

namespace kestrova::testing {

int freePort() {
  engine::LoopbackHttp probe({});
  return probe.bind(0) ? probe.port() : 0;  // released as the probe goes
}

bool eventually(const std::function<bool()>& condition, double limitSeconds) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::duration<double>(limitSeconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= limit) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace kestrova::testing
