// Reading the release feed document into a Release.
#pragma once

#include <optional>
#include <string_view>

#include "app/update/release.h"

namespace kestrova::Updater {

// The release a feed body describes, or absent when the body is no feed: not JSON, not an
// object, nested deeper than any feed, or a required key (version, url, sha256, published)
// missing or of another type. A version must be plain (isPlainVersion) and the digest exactly 64
// hexadecimal digits: either goes into file names and commands.
// `notes` and `critical` fall back to "" and false.
[[nodiscard]] std::optional<Release> parseRelease(std::string_view body);

}  // namespace kestrova::Updater
