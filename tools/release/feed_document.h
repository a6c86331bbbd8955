// The release feed document a publisher writes, checked with the app's own reader.
#pragma once

#include <optional>
#include <string>

#include "app/update/release.h"

namespace kestrova::release {

// The feed's JSON text: version, url, sha256, published, notes and critical, in that order.
[[nodiscard]] std::string feedDocument(const Updater::Release& release);

// Absent when the app's feed reader turns `text` into exactly `release`; else why not.
[[nodiscard]] std::optional<std::string> readsBackAs(const std::string& text,
                                                     const Updater::Release& release);

}  // namespace kestrova::release
