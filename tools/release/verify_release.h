// Checking a published release the way a station will receive it.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "tools/release/release_options.h"

namespace kestrova::release {

// Runs the app's own update code in a home of its own: the feed named as update_feed, fetched and
// read; the image downloaded and verified (digest, Gatekeeper, and signing team against the
// bundle of the options). Then checks that the image's bundle reports the feed's version and, with
// a previous feed, that the app ranks the release above it. Prints what held; absent when all did,
// else the first failure.
[[nodiscard]] std::optional<std::string> verifyRelease(const VerifyOptions& options,
                                                       std::ostream& out);

}  // namespace kestrova::release
