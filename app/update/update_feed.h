// Where the release feed is looked for, and fetching it.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/update/release.h"

namespace kestrova::Updater {

// `update_feed` from the engine's config.json when it is a non-empty URL string, else the
// built-in feed on the product's website. Read afresh on every call; never reports a problem.
[[nodiscard]] std::string feedURL();

// Fetches and reads the feed, then calls `done` once, on the main thread, with the release or
// with nothing on any failure. Returns at once.
void fetchFeed(std::function<void(std::optional<Release>)> done);

}  // namespace kestrova::Updater
