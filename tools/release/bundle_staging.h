// A copy of the built bundle that announces the version being published.
#pragma once

#include <optional>
#include <string>

namespace kestrova::release {

// Copies `bundle` to `copy` and sets CFBundleShortVersionString (the version the app reports and
// compares) and CFBundleVersion in the copy's Info.plist to `version`. Absent on success, else
// what failed. The app reads its version from Info.plist alone, so this copy is the release: no
// second build is needed. The copy must be signed afterwards, as the signature seals Info.plist.
[[nodiscard]] std::optional<std::string> stageBundle(const std::string& bundle,
                                                     const std::string& copy,
                                                     const std::string& version);

}  // namespace kestrova::release
