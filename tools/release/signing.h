// Signing a staged bundle and its disk image, and notarizing the image: the system's own tools
// on a Mac, the stand-ins elsewhere.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "app/platform/tools.h"
#include "tools/release/tool_failure.h"

namespace kestrova::release {

struct Signer {
  std::optional<std::string> identity;       // a Developer ID identity; absent: ad hoc
  std::optional<std::string> notaryProfile;  // a stored notarytool profile; absent: none
};

// The tools a publisher runs for `bundle`: the Mac's, or the stand-ins that bundle carries.
[[nodiscard]] Tools publisherTools(const std::string& bundle);

// Each is absent on success, else what failed with the tool's own words.
[[nodiscard]] std::optional<std::string> signBundle(const Signer& signer,
                                                    const std::string& bundle);
[[nodiscard]] std::optional<std::string> signImage(const Signer& signer, const std::string& image);
// Submits the image for notarization and staples the ticket when a profile is named; says on
// `notes` what it did or why it did nothing.
[[nodiscard]] std::optional<std::string> notarize(const Signer& signer, const std::string& image,
                                                  std::ostream& notes);

}  // namespace kestrova::release
