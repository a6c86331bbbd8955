// The engine's HTTP server: HTTP/1.1 on 127.0.0.1 for its few routes, one request a connection,
// with nothing but POSIX sockets, so that what ships in the bundle needs no HTTP library.
#pragma once

#include <functional>
#include <string>

namespace kestrova::engine {

struct Request {
  std::string method;
  std::string path;  // without the query
  std::string body;
};

struct Reply {
  int status = 200;
  std::string contentType = "application/json";
  std::string body = {};
};

class LoopbackHttp {
 public:
  using Handler = std::function<Reply(const Request&)>;

  explicit LoopbackHttp(Handler handler);
  ~LoopbackHttp();
  LoopbackHttp(const LoopbackHttp&) = delete;
  LoopbackHttp& operator=(const LoopbackHttp&) = delete;

  // Listens on 127.0.0.1:port; false when the port cannot be had.
  [[nodiscard]] bool bind(int port);
  // Answers connections, one after the other, until stop() is called from another thread.
  void serve();
  void stop();

 private:
  void answer(int connection) const;

  Handler handler_;
  int listener_ = -1;
  int wake_[2] = {-1, -1};  // stop() writes a byte to end serve()'s wait
};

}  // namespace kestrova::engine
