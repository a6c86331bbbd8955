// A CommandRunner double: canned results per command line, and a record of every call and of the
// time limit each was given.
#pragma once

#include <algorithm>
#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/platform/command_runner.h"

namespace kestrova::testing {

class ScriptedRunner final : public CommandRunner {
 public:
  // A call is known by its command line: the path and the arguments joined by single spaces.
  // Queues results for one command line. They are handed out in order; the last one left stays
  // and answers every further call of that line.
  void answer(const std::string& commandLine, std::vector<ShellResult> results);
  void answer(const std::string& commandLine, const ShellResult& result) {
    answer(commandLine, std::vector<ShellResult>{result});
  }

  // Every call, in order, as command lines.
  [[nodiscard]] std::vector<std::string> calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  // How many calls had exactly this command line.
  [[nodiscard]] std::size_t count(const std::string& commandLine) const {
    return static_cast<std::size_t>(std::ranges::count(calls(), commandLine));
  }
  // How many calls began with this text (e.g. the tool's path).
  [[nodiscard]] std::size_t countStartingWith(const std::string& prefix) const;
  // The time limit last given to the first command line (in sorted order) beginning with this text;
  // -1 when none was run.
  [[nodiscard]] double limitOf(const std::string& prefix) const {
    std::lock_guard lock(mutex_);
    const auto found = limits_.lower_bound(prefix);
    return found != limits_.end() && found->first.starts_with(prefix) ? found->second : -1;
  }

  ShellResult run(const std::string& path, const std::vector<std::string>& arguments,
                  double timeout) override;
  // Scripted like run: the canned output is standard output.
  ToolOutput runLimited(const std::string& path, const std::vector<std::string>& arguments,
                        double limitSeconds) override {
    auto result = run(path, arguments, limitSeconds);
    return {result.status, std::move(result.output), "", false};
  }

 private:
  mutable std::mutex mutex_;
  // A command line with nothing scripted gets a launch failure, as a missing tool would.
  std::map<std::string, std::deque<ShellResult>> scripts_;
  std::vector<std::string> calls_;
  std::map<std::string, double> limits_;  // by command line
};

}  // namespace kestrova::testing
