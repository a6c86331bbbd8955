// Whether the app's version rule reads a version as a person does, and whether it ranks a release
// above the one published before it. The ranking is always the app's own isNewer.
#pragma once

#include <optional>
#include <string>

namespace kestrova::release {

// Absent when every dot-separated part of `version` is a plain number (ASCII digits, no part
// empty), the only form the app and a person rank alike; else, in words, how the app reads it
// and what that costs, e.g. "2.0-beta counts as 2.0, so 2.0 will not be offered after it."
[[nodiscard]] std::optional<std::string> misreading(const std::string& version);

// Absent when the app ranks `version` strictly above `previous`; else the refusal, explaining a
// previous version the app misread.
[[nodiscard]] std::optional<std::string> notNewer(const std::string& version,
                                                  const std::string& previous);

}  // namespace kestrova::release
