#include "tests/support/loopback_server.h"

#include <httplib.h>
#include <strings.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <stdexcept>

#include "tests/support/real_processes.h"

namespace kestrova::testing {

std::optional<std::string> RecordedRequest::header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
  }
  return std::nullopt;
}

// The handlers and the record of what arrived; shared by the server's worker threads.
class LoopbackServer::Routes {
 public:
  void set(const std::string& method, const std::string& path, Handler handler) {
    std::lock_guard lock(mutex_);
    handlers_[{method, path}] = std::move(handler);
  }

  [[nodiscard]] std::vector<RecordedRequest> recorded() const {
    std::lock_guard lock(mutex_);
    return recorded_;
  }

  void serve(const httplib::Request& req, httplib::Response& res) {
    RecordedRequest request{req.method, req.path, queryOf(req.target), {}, req.body};
    for (const auto& [key, value] : req.headers) request.headers.emplace_back(key, value);
    Handler handler;
    {
      std::lock_guard lock(mutex_);
      recorded_.push_back(request);
      auto found = handlers_.find({request.method, request.path});
      if (found != handlers_.end()) handler = found->second;
    }
    LoopbackReply reply =
        handler ? handler(request) : LoopbackReply{404, "not found", "text/plain", 0, {}};
    waitOrStop(reply.delaySeconds);
    res.status = reply.status;
    for (const auto& [key, value] : reply.headers) res.set_header(key, value);
    res.set_content(reply.body, reply.contentType.c_str());
  }

  void stopping() {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    wake_.notify_all();
  }

 private:
  static std::string queryOf(const std::string& target) {
    auto mark = target.find('?');
    return mark == std::string::npos ? std::string() : target.substr(mark + 1);
  }

  void waitOrStop(double seconds) {
    if (seconds <= 0) return;
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return stopping_; });
  }

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::map<std::pair<std::string, std::string>, Handler> handlers_;
  std::vector<RecordedRequest> recorded_;
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
  auto ended = std::make_shared<std::atomic<bool>>(false);
  thread_ = std::thread([server = server_.get(), ended] {
    server->listen_after_bind();
    ended->store(true);
  });
  // stop() only acts on a running server: wait for the loop so the destructor can always end it.
  while (!server_->is_running() && !ended->load()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

LoopbackServer::~LoopbackServer() {
  routes_->stopping();
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

std::string LoopbackServer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void LoopbackServer::on(const std::string& method, const std::string& path, LoopbackReply reply) {
  on(method, path, [reply = std::move(reply)](const RecordedRequest&) { return reply; });
}

void LoopbackServer::on(const std::string& method, const std::string& path, Handler handler) {
  routes_->set(method, path, std::move(handler));
}

std::vector<RecordedRequest> LoopbackServer::requests() const { return routes_->recorded(); }

std::size_t LoopbackServer::requestCount() const { return routes_->recorded().size(); }

std::string closedURL(const std::string& path) {
  return "http://127.0.0.1:" + std::to_string(freePort()) + path;
}

}  // namespace kestrova::testing
