// Reading the release feed document into a Release.
#pragma once

#include <optional>
#include <string_view>

#include "app/update/release.h"

namespace kestrova::Updater {

// The release a feed body describes, or absent when the body is no feed: not JSON, not an
// object, or a required key (version, url, sha256, published) missing or of another type.
// `notes` and `critical` fall back to "" and false.
[[nodiscard]] std::optional<Release> parseRelease(std::string_view body);

}  // namespace kestrova::Updater
