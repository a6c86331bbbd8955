#include "tests/support/loopback_server.h"

#include <httplib.h>

#include <chrono>
#include <stdexcept>

#include "tests/support/real_processes.h"

namespace kestrova::testing {

// The handlers and the record of what arrived; shared by the server's worker threads.
struct LoopbackServer::Routes {
  std::mutex mutex;
  std::condition_variable stopped;  // cuts delayed replies short
  bool stopping = false;
  std::map<std::pair<std::string, std::string>, Handler> handlers;
  std::vector<RecordedRequest> recorded;

  void serve(const httplib::Request& req, httplib::Response& res) {
    RecordedRequest request{
        req.method, req.path, {req.headers.begin(), req.headers.end()}, req.body};
    Handler handler = [](const RecordedRequest&) {
      return LoopbackReply{404, "not found", "text/plain", 0, {}};
    };
    {
      std::lock_guard lock(mutex);
      recorded.push_back(request);
      if (auto found = handlers.find({req.method, req.path}); found != handlers.end()) {
        handler = found->second;
      }
    }
    const LoopbackReply reply = handler(request);
    std::unique_lock lock(mutex);
    stopped.wait_for(lock, std::chrono::duration<double>(reply.delaySeconds),
                     [this] { return stopping; });
    res.status = reply.status;
    for (const auto& [key, value] : reply.headers) res.set_header(key, value);
    res.set_content(reply.body, reply.contentType.c_str());
  }
};

LoopbackServer::LoopbackServer()
    : routes_(std::make_unique<Routes>()), server_(std::make_unique<httplib::Server>()) {
  auto serve = [routes = routes_.get()](const httplib::Request& req, httplib::Response& res) {
    routes->serve(req, res);
  };
  const std::string any = ".*";
  server_->Get(any, serve).Post(any, serve).Put(any, serve).Delete(any, serve);
  // A short keep-alive lets the destructor's join finish quickly after idle connections.
  server_->set_keep_alive_timeout(1);
  // Headers and body go out in separate writes: without this each reply waits on a delayed ACK.
  server_->set_tcp_nodelay(true);
  server_->new_task_queue = [] { return new httplib::ThreadPool(16); };
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) throw std::runtime_error("loopback server: cannot bind 127.0.0.1");
  // The socket already listens, so requests sent before the accept loop starts simply queue.
  thread_ = std::thread([server = server_.get()] { server->listen_after_bind(); });
  // stop() only acts on a running server: wait for the loop so the destructor can always end it.
  while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

LoopbackServer::~LoopbackServer() {
  {
    std::lock_guard lock(routes_->mutex);
    routes_->stopping = true;
  }
  routes_->stopped.notify_all();
  server_->stop();
  thread_.join();
}

std::string LoopbackServer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
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
