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

// Downloads the release's image (asking for no content encoding, at most 4 GiB) to
// imagePath(release.version), then runs checkImage on it. An image failing a check is deleted.
// A release whose version is not plain (isPlainVersion) is refused before anything is fetched.
// Returns at once; the checks run on a thread of their own, never on the URL-loading thread.
void downloadAndVerify(const Release& release, VerifyDone done);

}  // namespace kestrova::Updater
