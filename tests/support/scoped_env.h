// An environment variable set (or removed) for a scope, restored afterwards: for what child
// processes and libraries read from the environment (HOME, TMPDIR).
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace kestrova::testing {

class ScopedEnv {
 public:
  // Sets `name` to `value`, or removes it when `value` is absent.
  ScopedEnv(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) previous_ = old;
    assign(value);
  }
  ~ScopedEnv() { assign(previous_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void assign(const std::optional<std::string>& value) const {
    (void)(value ? ::setenv(name_.c_str(), value->c_str(), 1) : ::unsetenv(name_.c_str()));
  }
  std::string name_;
  std::optional<std::string> previous_;
};

}  // namespace kestrova::testing
