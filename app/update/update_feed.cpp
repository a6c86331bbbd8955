#include "app/update/update_feed.h"

#include <nlohmann/json.hpp>

#include "app/engine/paths.h"
#include "app/platform/file_text.h"
#include "app/platform/platform.h"
#include "app/platform/untrusted_json.h"
#include "app/update/product_site.h"
#include "app/update/release_feed.h"
#include "app/update/url_syntax.h"

namespace kestrova::Updater {
namespace {

constexpr double kFeedTimeout = 60.0;

std::optional<std::string> configuredFeed() {
  const auto text = readWholeFile(Paths::configFile());
  if (!text) {
    return std::nullopt;
  }
  const auto config = nlohmann::json::parse(*text, nullptr, false);
  if (config.is_discarded() || !config.is_object()) {
    return std::nullopt;
  }
  const auto found = config.find("update_feed");
  if (found == config.end() || !found->is_string()) {
    return std::nullopt;
  }
  auto url = found->get<std::string>();
  if (url.empty() || !isURL(url)) {
    return std::nullopt;
  }
  return url;
}

}  // namespace

std::string feedURL() { return configuredFeed().value_or(kFeedURL); }

void fetchFeed(std::function<void(std::optional<Release>)> done) {
  HttpRequest request;
  request.url = feedURL();
  // A cached feed would hide a release published since the last check.
  request.cachePolicy = CachePolicy::ignoreLocalCache;
  request.timeoutSeconds = kFeedTimeout;
  // A feed is a few hundred bytes.
  request.maxBodyBytes = kSmallReplyBytes;
  platform().http().send(std::move(request), [done = std::move(done)](HttpResponse response) {
    // Only the body counts: a feed object is accepted whatever the status, and an error page
    // is not a feed anyway.
    std::optional<Release> release;
    if (response.body) {
      release = parseRelease(*response.body);
    }
    platform().loop().post([done, release = std::move(release)] { done(release); });
  });
}

}  // namespace kestrova::Updater
