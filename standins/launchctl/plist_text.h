// The checks launchd's property-list reader makes on the text itself that a forgiving XML parser
// skips: a file launchd would refuse must not load here either.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrova::launchd {

// Absent when the text is UTF-8 without control characters (other than tab and line ends) and
// every `&` outside comments and CDATA begins an entity; else what is wrong, and where.
[[nodiscard]] std::optional<std::string> plistTextFault(std::string_view text);

}  // namespace kestrova::launchd
