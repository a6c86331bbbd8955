// The engine's HTTP server: HTTP/1.1 on 127.0.0.1 for its few routes, one request a connection,
// each connection on a thread of its own (a peer that stalls holds up nobody else), with nothing
// but POSIX sockets, so that what ships in the bundle needs no HTTP library.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace kestrova::engine {

using Headers = std::vector<std::pair<std::string, std::string>>;

struct Request {
  std::string method;
  std::string path;  // without the query
  std::string body;
  Headers headers = {};  // as sent, in order
};

struct Reply {
  int status = 200;
  std::string contentType = "application/json";
  std::string body = {};
  Headers headers = {};  // besides the type, length and connection, e.g. a Location
};

class LoopbackHttp {
 public:
  using Handler = std::function<Reply(const Request&)>;

  explicit LoopbackHttp(Handler handler);
  ~LoopbackHttp();
  LoopbackHttp(const LoopbackHttp&) = delete;
  LoopbackHttp& operator=(const LoopbackHttp&) = delete;

  // Listens on 127.0.0.1:port (0: a free one); false when the port cannot be had.
  [[nodiscard]] bool bind(int port);
  [[nodiscard]] int port() const;
  // Answers connections until stop() is called from another thread; returns once every
  // connection it took has been answered or dropped.
  void serve();
  void stop();

 private:
  void answer(int connection) const;
  void ended();

  Handler handler_;
  std::mutex mutex_;
  std::condition_variable allEnded_;
  int open_ = 0;  // connections being answered
  int listener_ = -1;
  int wake_[2] = {-1, -1};  // stop() writes a byte to end serve()'s wait
};

}  // namespace kestrova::engine
