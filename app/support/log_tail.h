// The end of the engine's log as the support report shows it: the last lines, always as text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace kestrova::Diagnostics {

// The last `count` lines of the file as `tail -n` gives them (a last line without a line feed
// counts), with every ill-formed UTF-8 sequence replaced by U+FFFD so that one stray byte cannot
// cost the report its log. Absent when the file cannot be read.
[[nodiscard]] std::optional<std::string> lastLogLines(const std::string& path, std::size_t count);

}  // namespace kestrova::Diagnostics
