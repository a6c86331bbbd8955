// Strict UTF-8: validation for tool output that must be text or nothing, and repair for text
// that must be kept whatever it holds.
#pragma once

#include <string>
#include <string_view>

namespace kestrova {

// True when `bytes` is well-formed UTF-8: no overlong forms, no surrogates (U+D800-U+DFFF), nothing
// above U+10FFFF, no truncated or stray continuation bytes. An empty string is valid.
[[nodiscard]] bool isValidUtf8(std::string_view bytes);

// The bytes as well-formed UTF-8: each maximal ill-formed subpart (a stray byte, or the start of
// a sequence cut short) becomes U+FFFD, as the Unicode standard recommends; the rest is kept.
[[nodiscard]] std::string withReplacementCharacters(std::string_view bytes);

}  // namespace kestrova
