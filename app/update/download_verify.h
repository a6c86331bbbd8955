// Downloading a release's disk image and accepting it only after checksum, Gatekeeper and team.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/update/release.h"

namespace kestrova::Updater {

// Called once on the main thread: the verified image's path and no message, or no path and the
// message to show the user.
using VerifyDone =
    std::function<void(std::optional<std::string> imagePath, std::optional<std::string> message)>;

// Downloads the release's image to imagePath(release.version), then checks its SHA-256 digest,
// its Gatekeeper assessment and its signing team against the running application's. An image
// failing a check is deleted. Returns at once; the checks run on the URL-loading thread.
void downloadAndVerify(const Release& release, VerifyDone done);

}  // namespace kestrova::Updater
