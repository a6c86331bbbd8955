// An environment variable set (or removed) for a scope, restored afterwards: for what child
// processes and libraries read from the environment (HOME, TMPDIR).
#pragma once

#include <optional>
#include <string>

namespace kestrova::testing {

class ScopedEnv {
 public:
  // Sets `name` to `value`, or removes it when `value` is absent.
  ScopedEnv(std::string name, const std::optional<std::string>& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

}  // namespace kestrova::testing
