// Whether a text is an absolute URL the update machinery can be pointed at.
#pragma once

#include <string_view>

namespace kestrova::Updater {

// True for an absolute URL in the generic syntax: a scheme (a letter, then letters, digits,
// "+", "-" or "."), a colon, then only characters a URL may carry, with every "%" starting a
// two-digit hexadecimal escape. Spaces, control characters and bare words are not URLs.
[[nodiscard]] bool isURL(std::string_view text);

}  // namespace kestrova::Updater
