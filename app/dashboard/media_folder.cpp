#include "app/dashboard/media_folder.h"

#include <cmath>
#include <limits>
#include <memory>
#include <nlohmann/json.hpp>
#include <utility>

#include "app/engine/paths.h"
#include "app/platform/platform.h"
#include "app/platform/untrusted_json.h"

namespace kestrova::MediaFolder {

namespace {

// A whole number that fits: 12 and 12.0 count, 2.5, "12", true and 1e300 do not.
std::optional<std::int64_t> integralValue(const nlohmann::json& value) {
  if (value.is_number_unsigned()) {
    const auto n = value.get<std::uint64_t>();
    if (n > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      return std::nullopt;
    }
    return static_cast<std::int64_t>(n);
  }
  if (value.is_number_integer()) {
    return value.get<std::int64_t>();
  }
  if (value.is_number_float()) {
    const double d = value.get<double>();
    // 2^63 is exactly representable and the first double past the int64 range.
    if (std::trunc(d) == d && d >= -9223372036854775808.0 && d < 9223372036854775808.0) {
      return static_cast<std::int64_t>(d);
    }
  }
  return std::nullopt;
}

}  // namespace

FolderPanelSpec panelSpec() {
  return {"Choose your video folder",
          "Kestrova will broadcast the videos in this folder \u2014 and read nothing else.",
          "Use This Folder"};
}

std::optional<std::string> requestBody(const std::string& path) {
  try {
    return nlohmann::json{{"path", path}}.dump();
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;
  }
}

HttpRequest request(const std::string& path) {
  HttpRequest req;
  req.method = "POST";
  req.url = Paths::engineURL("/api/setup/folder");
  req.headers = {{"Content-Type", "application/json"}};
  req.body = requestBody(path);
  req.timeoutSeconds = kRequestTimeout;
  // Only the engine answers here; a redirect would post the folder to someone else.
  req.followRedirects = false;
  req.maxBodyBytes = kSmallReplyBytes;
  return req;
}

Reply readReply(const HttpResponse& response) {
  Reply reply;
  reply.message = response.error;
  if (!response.body) {
    return reply;
  }
  const auto json = parseUntrustedJson(*response.body);
  if (!json.is_object()) {
    return reply;
  }
  if (const auto error = json.find("error"); error != json.end() && error->is_string()) {
    reply.message = error->get<std::string>();
  }
  if (const auto count = json.find("video_count"); count != json.end()) {
    reply.count = integralValue(*count);
  }
  return reply;
}

void tell(const Reply& reply, const std::function<void()>& openDashboard) {
  Ui& ui = platform().ui();
  if (reply.message) {
    (void)ui.runAlert({kFailedMessage, *reply.message, {"OK"}, std::nullopt});
    return;
  }
  (void)ui.runAlert({kDoneMessage, countText(reply.count), {"OK"}, std::nullopt});
  openDashboard();
}

std::string countText(std::optional<std::int64_t> count) {
  const std::int64_t n = count.value_or(0);
  if (n < 1) {
    return kNoVideosText;
  }
  return "Found " + std::to_string(n) + " video" + (n == 1 ? "" : "s") +
         ". Go back to the setup page and press Continue.";
}

void choose(std::function<void(const Reply&)> answered) {
  Ui& ui = platform().ui();
  ui.activate();
  const auto folder = ui.chooseFolder(panelSpec());
  if (!folder) {
    return;
  }
  platform().http().send(
      request(*folder), [answered = std::move(answered)](const HttpResponse& response) mutable {
        // Parsed here, off the main thread; only the result crosses over.
        auto reply = readReply(response);
        platform().loop().post(
            [reply = std::move(reply), answered = std::move(answered)] { answered(reply); });
      });
}

}  // namespace kestrova::MediaFolder
