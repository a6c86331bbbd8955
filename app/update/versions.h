// Version texts: which of two is newer, and the running application's own.
#pragma once

#include <string>
#include <string_view>

namespace kestrova::Updater {

// True when `candidate` is strictly newer than `than`: dot-separated components (empty ones
// dropped) compared as signed 64-bit integers, a missing or unparsable component counting as 0.
[[nodiscard]] bool isNewer(std::string_view candidate, std::string_view than);

// True for a version that may name a file and reach a command: 1 to 64 ASCII letters, digits,
// dots, pluses, minuses and underscores, so no control character, slash, backslash or space.
[[nodiscard]] bool isPlainVersion(std::string_view version);

// CFBundleShortVersionString of the running bundle, or "0" when it has none.
[[nodiscard]] std::string myVersion();

}  // namespace kestrova::Updater
