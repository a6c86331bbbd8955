// HTTP requests and downloads, with completions on one background "URL-loading" thread.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestrova {

// Whether a response kept locally may answer the request (the Mac's URL loading keeps one; the
// libcurl client keeps none, so there every request reaches the server).
enum class CachePolicy { useProtocol, ignoreLocalCache };

// The largest body a request takes by default: far more than any reply of ours, far less than
// memory.
inline constexpr std::size_t kDefaultMaxBodyBytes = std::size_t{64} * 1024 * 1024;

struct HttpRequest {
  std::string method = "GET";
  std::string url = {};
  std::vector<std::pair<std::string, std::string>> headers = {};
  std::optional<std::string> body = {};
  // Ceiling for the whole transfer; 0 means none.
  double timeoutSeconds = 60.0;
  // Longest stretch without any data arriving; 0 means none.
  double idleSeconds = 0.0;
  CachePolicy cachePolicy = CachePolicy::useProtocol;
  // Whether a redirect is followed. The engine on 127.0.0.1 never redirects: a reply that does
  // is not the engine's and is taken as it stands.
  bool followRedirects = true;
  // The most body bytes taken, in memory or in a downloaded file; a longer body fails the
  // transfer with "The response is too large". Downloads ask for no content encoding, so what
  // arrives is what is counted and kept.
  std::size_t maxBodyBytes = kDefaultMaxBodyBytes;
};

// The outcome of a request. `error` is the transport error's description (refused, timed out,
// unsupported scheme...); the status code is informative only: the app decides on bodies.
struct HttpResponse {
  std::optional<std::string> error;
  long statusCode = 0;
  std::optional<std::string> body;  // absent when the transfer failed or nothing arrived
};

// The outcome of a download. On success `file` names a temporary file that the completion may
// move away; whatever is still there when the completion returns is deleted.
struct DownloadResult {
  std::optional<std::string> error;
  std::optional<std::string> file;
};

class Http {
 public:
  virtual ~Http() = default;
  // Starts the request and returns at once. `done` runs once, on the URL-loading thread.
  virtual void send(HttpRequest request, std::function<void(HttpResponse)> done) = 0;
  // Starts a download to a temporary file and returns at once. `done` runs once, on the
  // URL-loading thread.
  virtual void download(HttpRequest request, std::function<void(DownloadResult)> done) = 0;
};

}  // namespace kestrova
