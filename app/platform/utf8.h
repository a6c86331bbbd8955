// Strict UTF-8 validation, for tool output that must be text or nothing.
#pragma once

#include <string_view>

namespace kestrova {

// True when `bytes` is well-formed UTF-8: no overlong forms, no surrogates (U+D800-U+DFFF), nothing
// above U+10FFFF, no truncated or stray continuation bytes. An empty string is valid.
[[nodiscard]] bool isValidUtf8(std::string_view bytes);

}  // namespace kestrova
