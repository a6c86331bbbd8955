// Helpers for tests that drive real processes: a free loopback port, a bounded wait, and the
// sandbox as HOME for every child.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace kestrova::testing {

// A loopback port that was free a moment ago (bound and released), or 0.
[[nodiscard]] int freePort();

// Real processes take real time: waits until the condition holds or the limit has passed, and
// says which. This bounds a wait, it does not measure one.
bool eventually(const std::function<bool()>& condition, double limitSeconds = 15);

// The stand-ins and the engine keep their state under $HOME: the whole process tree must see the
// sandbox as home for as long as this lives.
class HomeForChildren {
 public:
  explicit HomeForChildren(const std::string& home);
  ~HomeForChildren();
  HomeForChildren(const HomeForChildren&) = delete;
  HomeForChildren& operator=(const HomeForChildren&) = delete;

 private:
  std::optional<std::string> previous_;
};

}  // namespace kestrova::testing
