// How the publisher words a system tool's failure.
#pragma once

#include <string>

namespace kestrova::release {

// "<what> failed (status N): <the tool's output, trimmed>".
[[nodiscard]] std::string toolFailure(const std::string& what, int status,
                                      const std::string& output);

}  // namespace kestrova::release
