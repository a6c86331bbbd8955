// Reading JSON that comes from outside (the engine's replies, the release feed) within bounds.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string_view>

namespace kestrova {

// The small replies we read are a few hundred bytes; this is far beyond any honest one.
inline constexpr std::size_t kSmallReplyBytes = std::size_t{64} * 1024;
// Deeper than any reply of ours nests; a parsed level costs far more memory than its two bytes.
inline constexpr int kMaxJsonDepth = 32;

// The document, or a discarded value when the text is not JSON or nests arrays and objects
// deeper than kMaxJsonDepth (checked before anything is built). Never throws.
[[nodiscard]] nlohmann::json parseUntrustedJson(std::string_view text);

// The text with each ill-formed UTF-8 byte sequence and each unpaired surrogate escape
// ("\ud800" alone) replaced by U+FFFD, so that one bad string no longer makes the whole document
// unreadable.
[[nodiscard]] std::string repairedJsonText(std::string_view text);

}  // namespace kestrova
