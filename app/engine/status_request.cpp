#include "app/engine/status_request.h"

#include <optional>
#include <string_view>
#include <utility>

#include "app/engine/paths.h"
#include "app/platform/platform.h"
#include "app/platform/untrusted_json.h"

namespace kestrova {

void requestStatus(std::function<void(StatusReport)> apply) {
  HttpRequest request;
  request.method = "GET";
  request.url = Paths::engineURL("/api/status");
  request.timeoutSeconds = kStatusTimeoutSeconds;
  // Only the engine answers here: a redirect elsewhere is no status, and a reply is a few
  // hundred bytes.
  request.followRedirects = false;
  request.maxBodyBytes = kSmallReplyBytes;

  // The loop is taken now, on the main thread, so the completion needs nothing else from the
  // platform while it runs on the URL-loading thread.
  MainLoop& loop = platform().loop();
  platform().http().send(
      std::move(request), [&loop, apply = std::move(apply)](HttpResponse response) mutable {
        std::optional<std::string_view> body;
        if (!response.error && response.body) {
          body = *response.body;
        }
        // The reply is reduced here, off the main thread; only the small result crosses over.
        StatusReport report = deriveStatus(body);
        loop.post([apply = std::move(apply), report = std::move(report)]() { apply(report); });
      });
}

}  // namespace kestrova
