#include "tools/release/tool_failure.h"

namespace kestrova::release {

std::string toolFailure(const std::string& what, int status, const std::string& output) {
  constexpr const char* kSpace = " \t\r\n";
  const auto start = output.find_first_not_of(kSpace);
  const std::string said = start == std::string::npos
                               ? "no output"
                               : output.substr(start, output.find_last_not_of(kSpace) - start + 1);
  return what + " failed (status " + std::to_string(status) + "): " + said;
}

}  // namespace kestrova::release
