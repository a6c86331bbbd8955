// Handing the engine the video folder the user chose, and telling the user what it found there.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/platform/http.h"
#include "app/platform/ui.h"

namespace kestrova::MediaFolder {

inline constexpr double kRequestTimeout = 10.0;
inline constexpr const char* kFailedMessage = "Could not use that folder";
inline constexpr const char* kDoneMessage = "Folder set";
inline constexpr const char* kNoVideosText =
    "That folder has no videos in it yet. Add some files, or choose another folder.";

// What the engine's reply comes to: a message to show (a transport error or the engine's own
// refusal) wins over the count of videos it found.
struct Reply {
  std::optional<std::string> message;
  std::optional<std::int64_t> count;
  bool operator==(const Reply&) const = default;
};

[[nodiscard]] FolderPanelSpec panelSpec();

// {"path":"<path>"} as compact JSON, UTF-8 kept as it is; absent when the path cannot be
// expressed as a JSON string (bytes that are not UTF-8).
[[nodiscard]] std::optional<std::string> requestBody(const std::string& path);

// The POST to the engine's folder endpoint on the port configured now.
[[nodiscard]] HttpRequest request(const std::string& path);

// Reads the reply; the HTTP status is not looked at, only the transport error and the body.
[[nodiscard]] Reply readReply(const HttpResponse& response);

// "Found 3 videos. …" or the no-videos text when the count is absent or below 1.
[[nodiscard]] std::string countText(std::optional<std::int64_t> count);

// Shows what the reply came to; `openDashboard` runs after a successful folder's alert.
void tell(const Reply& reply, const std::function<void()>& openDashboard);

// The whole command: brings the app forward, asks for a folder and, unless the user cancels,
// sends it and returns at once. The reply is read on the URL-loading thread and handed to
// `answered` on the main thread, which tells it (or not, when its owner has gone meanwhile).
void choose(std::function<void(const Reply&)> answered);

}  // namespace kestrova::MediaFolder
