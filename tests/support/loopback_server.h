// A real HTTP server on 127.0.0.1 at a free port, scripted by the test that owns it.
//
// Usage:
//   LoopbackServer server;                                   // listening once constructed
//   server.on("GET", "/api/status", {.status = 200, .body = R"({"enabled":true})"});
//   server.on("POST", "/api/setup/folder", [](const RecordedRequest& r) {
//     return LoopbackReply{.body = r.body};                  // computed per request
//   });
//   server.on("GET", "/slow", {.body = "{}", .delaySeconds = 4});   // answers after 4 s
//   send a request to server.url("/api/status") (port: server.port());
//   server.requests() lists what arrived (method, path, headers, body), in arrival order.
// A request with no handler gets 404 and the body "not found". Handlers run on the server's own
// threads (the engine's HTTP server, one request a connection); a delayed reply is cut short when
// the server is destroyed, so the destructor never waits out a delay.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "standins/engine/loopback_http.h"

namespace kestrova::testing {

using RecordedRequest = engine::Request;

struct LoopbackReply {
  int status = 200;
  std::string body = {};
  std::string contentType = "application/json";
  double delaySeconds = 0;  // real seconds to wait before answering
  std::vector<std::pair<std::string, std::string>> headers{};  // e.g. {"Location", "/elsewhere"}
};

class LoopbackServer {
 public:
  using Handler = std::function<LoopbackReply(const RecordedRequest&)>;

  LoopbackServer();
  ~LoopbackServer();

  [[nodiscard]] int port() const { return http_->port(); }
  // "http://127.0.0.1:<port>" + path.
  [[nodiscard]] std::string url(const std::string& path) const;

  // Sets (or replaces) the answer for a method ("GET", "POST", ...) and an exact path.
  void on(const std::string& method, const std::string& path, LoopbackReply reply);
  void on(const std::string& method, const std::string& path, Handler handler);

  [[nodiscard]] std::vector<RecordedRequest> requests() const;

 private:
  struct Routes;
  std::unique_ptr<Routes> routes_;
  std::unique_ptr<engine::LoopbackHttp> http_;
  std::thread thread_;
};

// "http://127.0.0.1:<port>" + path at a port where nothing listens: connecting is refused.
[[nodiscard]] std::string closedURL(const std::string& path);

}  // namespace kestrova::testing
