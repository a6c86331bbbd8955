// Durable, atomic replacement of a file: readers see the old contents or the new, never a mix.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace kestrova {

// Writes `contents` to a temporary file beside `path`, flushes it to disk, renames it over
// `path` and flushes the folder, so a power cut leaves the old file or the new one whole.
// Absent on success, else the system's description of what failed; no temporary file is left.
[[nodiscard]] std::optional<std::string> writeFileAtomically(const std::string& path,
                                                             std::string_view contents,
                                                             mode_t mode = 0644);

}  // namespace kestrova
