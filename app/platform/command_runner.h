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

class CommandRunner {
 public:
  virtual ~CommandRunner() = default;
  virtual ShellResult run(const std::string& path, const std::vector<std::string>& arguments,
                          double timeout) = 0;
};

}  // namespace kestrova
