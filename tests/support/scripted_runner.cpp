#include "tests/support/scripted_runner.h"

#include <algorithm>

namespace kestrova::testing {
namespace {

std::string lineOf(const std::string& path, const std::vector<std::string>& arguments) {
  std::string text = path;
  for (const auto& argument : arguments) {
    text += " " + argument;
  }
  return text;
}

}  // namespace

void ScriptedRunner::answer(const std::string& commandLine, std::vector<ShellResult> results) {
  std::lock_guard lock(mutex_);
  auto& queue = scripts_[commandLine];
  queue.insert(queue.end(), results.begin(), results.end());
}

void ScriptedRunner::answer(const std::string& commandLine, const ShellResult& result) {
  answer(commandLine, std::vector<ShellResult>{result});
}

std::vector<ShellResult> ScriptedRunner::times(std::size_t count, const ShellResult& result) {
  return std::vector<ShellResult>(count, result);
}

std::vector<std::string> ScriptedRunner::calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

std::size_t ScriptedRunner::count(const std::string& commandLine) const {
  std::lock_guard lock(mutex_);
  return static_cast<std::size_t>(std::count(calls_.begin(), calls_.end(), commandLine));
}

std::size_t ScriptedRunner::countStartingWith(const std::string& prefix) const {
  std::lock_guard lock(mutex_);
  return static_cast<std::size_t>(std::count_if(
      calls_.begin(), calls_.end(), [&](const auto& c) { return c.rfind(prefix, 0) == 0; }));
}

void ScriptedRunner::clearCalls() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

ShellResult ScriptedRunner::run(const std::string& path, const std::vector<std::string>& arguments,
                                double /*timeout*/) {
  const std::string called = lineOf(path, arguments);
  std::lock_guard lock(mutex_);
  calls_.push_back(called);
  auto found = scripts_.find(called);
  if (found == scripts_.end() || found->second.empty()) {
    return fallback_;
  }
  ShellResult result = found->second.front();
  if (found->second.size() > 1) {
    found->second.pop_front();
  }
  return result;
}

}  // namespace kestrova::testing
