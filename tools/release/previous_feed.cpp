#include "tools/release/previous_feed.h"

#include <optional>

#include "app/platform/file_text.h"
#include "app/update/release_feed.h"
#include "app/update/url_syntax.h"

namespace kestrova::release {
namespace {

constexpr double kFeedTimeout = 60.0;

std::optional<std::string> fetchBody(const std::string& url, ToolPlatform& tool,
                                     std::string& failure) {
  std::optional<std::string> body;
  tool.runUntilDone([&](std::function<void()> finished) {
    HttpRequest request;
    request.url = url;
    request.cachePolicy = CachePolicy::ignoreLocalCache;
    request.timeoutSeconds = kFeedTimeout;
    platform().http().send(std::move(request), [&, finished](HttpResponse response) {
      // The URL-loading thread: hand over to the loop before touching anything.
      platform().loop().post([&, finished, response = std::move(response)] {
        body = response.body;
        failure = response.error.value_or("no data");
        finished();
      });
    });
  });
  return body;
}

}  // namespace

bool isWebAddress(const std::string& where) {
  return (where.starts_with("https://") || where.starts_with("http://")) && Updater::isURL(where);
}

std::variant<Updater::Release, std::string> readFeed(const std::string& where, ToolPlatform& tool) {
  std::optional<std::string> body;
  std::string failure;
  if (isWebAddress(where)) {
    body = fetchBody(where, tool, failure);
  } else {
    body = readWholeFile(where);
    failure = "the file cannot be read";
  }
  if (!body) {
    return "Could not read the feed " + where + ": " + failure + ".";
  }
  auto release = Updater::parseRelease(*body);
  if (!release) {
    return "The feed " + where +
           " is not one the app reads: it must be a JSON object with version, url and sha256 "
           "as strings, the url a URL, and published as a number.";
  }
  return *release;
}

}  // namespace kestrova::release
