#include "tests/support/loopback_server.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <stdexcept>

#include "tests/support/real_processes.h"

namespace kestrova::testing {

// The handlers and the record of what arrived; shared by the server's connection threads.
struct LoopbackServer::Routes {
  std::mutex mutex;
  std::condition_variable stopped;  // cuts delayed replies short
  bool stopping = false;
  std::map<std::pair<std::string, std::string>, Handler> handlers;
  std::vector<RecordedRequest> recorded;

  engine::Reply serve(const RecordedRequest& request) {
    Handler handler = [](const RecordedRequest&) {
      return LoopbackReply{404, "not found", "text/plain", 0, {}};
    };
    {
      std::lock_guard lock(mutex);
      recorded.push_back(request);
      if (auto found = handlers.find({request.method, request.path}); found != handlers.end()) {
        handler = found->second;
      }
    }
    const LoopbackReply reply = handler(request);
    std::unique_lock lock(mutex);
    stopped.wait_for(lock, std::chrono::duration<double>(reply.delaySeconds),
                     [this] { return stopping; });
    return {reply.status, reply.contentType, reply.body, reply.headers};
  }
};

LoopbackServer::LoopbackServer()
    : routes_(std::make_unique<Routes>()),
      http_(std::make_unique<engine::LoopbackHttp>(
          [routes = routes_.get()](const RecordedRequest& request) {
            return routes->serve(request);
          })) {
  if (!http_->bind(0)) throw std::runtime_error("loopback server: cannot bind 127.0.0.1");
  // The socket already listens, so requests sent before serving starts simply queue.
  thread_ = std::thread([http = http_.get()] { http->serve(); });
}

LoopbackServer::~LoopbackServer() {
  {
    std::lock_guard lock(routes_->mutex);
    routes_->stopping = true;
  }
  routes_->stopped.notify_all();
  http_->stop();  // serving ends once every connection taken is answered
  thread_.join();
}

std::string LoopbackServer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port()) + path;
}

void LoopbackServer::on(const std::string& method, const std::string& path, LoopbackReply reply) {
  on(method, path, [reply = std::move(reply)](const RecordedRequest&) { return reply; });
}

void LoopbackServer::on(const std::string& method, const std::string& path, Handler handler) {
  std::lock_guard lock(routes_->mutex);
  routes_->handlers[{method, path}] = std::move(handler);
}

std::vector<RecordedRequest> LoopbackServer::requests() const {
  std::lock_guard lock(routes_->mutex);
  return routes_->recorded;
}

std::string closedURL(const std::string& path) {
  return "http://127.0.0.1:" + std::to_string(freePort()) + path;
}

}  // namespace kestrova::testing
