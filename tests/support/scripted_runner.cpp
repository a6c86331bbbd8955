#include "tests/support/scripted_runner.h"

#include <algorithm>

namespace kestrova::testing {

void ScriptedRunner::answer(const std::string& commandLine, std::vector<ShellResult> results) {
  std::lock_guard lock(mutex_);
  scripts_[commandLine].insert(scripts_[commandLine].end(), results.begin(), results.end());
}

std::size_t ScriptedRunner::countStartingWith(const std::string& prefix) const {
  return static_cast<std::size_t>(
      std::ranges::count_if(calls(), [&](const auto& c) { return c.starts_with(prefix); }));
}

ShellResult ScriptedRunner::run(const std::string& path, const std::vector<std::string>& arguments,
                                double timeout) {
  std::string called = path;
  for (const auto& argument : arguments) called += " " + argument;
  std::lock_guard lock(mutex_);
  calls_.push_back(called);
  limits_[called] = timeout;
  auto& queue = scripts_[called];
  if (queue.empty()) return {-1, "launch failed: nothing scripted for this command"};
  ShellResult result = queue.front();
  if (queue.size() > 1) queue.pop_front();
  return result;
}

}  // namespace kestrova::testing
