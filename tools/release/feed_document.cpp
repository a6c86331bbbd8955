#include "tools/release/feed_document.h"

#include <cstdint>
#include <nlohmann/json.hpp>

#include "app/update/release_feed.h"

namespace kestrova::release {

std::string feedDocument(const Updater::Release& release) {
  nlohmann::ordered_json feed;
  feed["version"] = release.version;
  feed["url"] = release.url;
  feed["sha256"] = release.sha256;
  // Whole seconds read better as an integer; the app takes either kind of number.
  const auto whole = static_cast<std::int64_t>(release.published);
  if (static_cast<double>(whole) == release.published) {
    feed["published"] = whole;
  } else {
    feed["published"] = release.published;
  }
  feed["notes"] = release.notes;
  feed["critical"] = release.critical;
  return feed.dump(2) + "\n";
}

std::optional<std::string> readsBackAs(const std::string& text, const Updater::Release& release) {
  const auto read = Updater::parseRelease(text);
  if (!read) {
    return "The app would not read the feed (is the image URL " + release.url + " a URL?).";
  }
  if (*read != release) {
    return "The app would read the feed as a different release than the one published.";
  }
  return std::nullopt;
}

}  // namespace kestrova::release
