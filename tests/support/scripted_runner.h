// A CommandRunner double: canned results per command line, and a record of every call.
#pragma once

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
  void answer(const std::string& commandLine, const ShellResult& result);
  // The same result `count` times, for building sequences.
  [[nodiscard]] static std::vector<ShellResult> times(std::size_t count, const ShellResult& result);

  // Every call, in order, as command lines.
  [[nodiscard]] std::vector<std::string> calls() const;
  // How many calls had exactly this command line.
  [[nodiscard]] std::size_t count(const std::string& commandLine) const;
  // How many calls began with this text (e.g. the tool's path).
  [[nodiscard]] std::size_t countStartingWith(const std::string& prefix) const;
  void clearCalls();

  ShellResult run(const std::string& path, const std::vector<std::string>& arguments,
                  double timeout) override;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, std::deque<ShellResult>> scripts_;
  // What a command line with nothing scripted gets: a launch failure, as for a missing tool.
  const ShellResult fallback_{-1, "launch failed: nothing scripted for this command"};
  std::vector<std::string> calls_;
};

}  // namespace kestrova::testing
