// Runs one executable to completion: the seam behind `shell`.
#pragma once

#include <string>
#include <vector>

namespace kestrova {

struct ShellResult {
  int status = 0;      // termination status, or -1 when the tool could not be started
  std::string output;  // standard output and error together, in write order
  bool operator==(const ShellResult&) const = default;
};

// What a tool run under a time limit wrote, each stream on its own.
struct ToolOutput {
  int status = 0;        // as ShellResult's; -1 too when the tool overran its limit
  std::string out;       // standard output
  std::string err;       // standard error
  bool overran = false;  // ended (with whatever it started) because its time was up
  bool operator==(const ToolOutput&) const = default;
};

class CommandRunner {
 public:
  virtual ~CommandRunner() = default;
  virtual ShellResult run(const std::string& path, const std::vector<std::string>& arguments,
                          double timeout) = 0;
  // Runs the tool with standard output and error apart, and ends it, with every process it
  // started in its process group, once `limitSeconds` have passed. Each stream keeps at most its
  // first MiB.
  virtual ToolOutput runLimited(const std::string& path, const std::vector<std::string>& arguments,
                                double limitSeconds) = 0;
};

}  // namespace kestrova
