// Reading a whole small file (configuration, property list) into memory.
#pragma once

#include <optional>
#include <string>

namespace kestrova {

// The file's bytes, or absent when it cannot be opened or read.
[[nodiscard]] std::optional<std::string> readWholeFile(const std::string& path);

}  // namespace kestrova
