// The checks a downloaded release image must pass before it may replace the running bundle.
#pragma once

#include <optional>
#include <string>

#include "app/update/release.h"

namespace kestrova::Updater {

// Absent when the image at `image` passes every check, in this order, else the message for the
// user: its SHA-256 digest (standard output of shasum only) is the release's; Gatekeeper accepts
// it; where the running bundle names a team, the image names the same one (an image naming none
// is refused); and Kestrova.app inside it, attached read-only, reports the release's version and
// the running bundle's team. Each tool is ended when it overruns its time limit, which fails its
// check. Blocks for as long as the tools take: run it on a thread of its own.
[[nodiscard]] std::optional<std::string> checkImage(const std::string& image,
                                                    const Release& release);

}  // namespace kestrova::Updater
