// Publishing a release: the stamped and signed bundle in a signed disk image, and its feed.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "tools/release/release_options.h"

namespace kestrova::release {

// Refuses what the app would never offer or could not read, then writes Kestrova-VERSION.dmg and
// appcast.json into the output folder and prints what to upload on `out` (warnings and notes on
// `notes`). Absent on success; else the reason, and nothing is left behind.
[[nodiscard]] std::optional<std::string> publish(const PublishOptions& options, std::ostream& out,
                                                 std::ostream& notes);

}  // namespace kestrova::release
