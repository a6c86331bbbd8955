// Replaces a file in one step, so a reader sees either the old file or the whole new one.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kestrova::inkslab {

// Writes the bytes to a temporary file in the target's folder, flushes it to disk, gives it
// the permissions a newly created file would have, and renames it over the target, then
// flushes the folder. On any failure the temporary file is removed and the target is left as
// it was. Absent on success, otherwise what failed.
[[nodiscard]] std::optional<std::string> replaceFile(const std::string& path,
                                                     std::span<const std::uint8_t> bytes);

}  // namespace kestrova::inkslab
