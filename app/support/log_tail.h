// The end of the engine's log as the support report shows it: the last lines, always as text.
#pragma once

#include <cstddef>
#include <ios>
#include <optional>
#include <string>

namespace kestrova::Diagnostics {

// The most of the file's end the report reads: 400 lines of any sane length fit in it.
inline constexpr std::streamoff kMaxLogTailBytes = std::streamoff{256} * 1024;

// The last `count` lines of the file as `tail -n` gives them (a last line without a line feed
// counts), as far as they lie in its last kMaxLogTailBytes; beyond that, from the first line that
// begins there. Every ill-formed UTF-8 sequence is replaced by U+FFFD so that one stray byte cannot
// cost the report its log. Absent when the file cannot be read.
[[nodiscard]] std::optional<std::string> lastLogLines(const std::string& path, std::size_t count);

}  // namespace kestrova::Diagnostics
