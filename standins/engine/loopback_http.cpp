#include "standins/engine/loopback_http.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <thread>

namespace kestrova::engine {
namespace {

// Outside input, even on the loopback: the head and the body are bounded, and a peer that
// stalls is dropped after a few seconds rather than holding the only server thread.
constexpr std::size_t kHeadLimit = std::size_t{16} * 1024;
constexpr std::size_t kBodyLimit = std::size_t{1024} * 1024;
constexpr int kStallSeconds = 3;
constexpr int kMostConnections = 32;

void closeOnExec(int fd) { ::fcntl(fd, F_SETFD, FD_CLOEXEC); }

void sendAll(int connection, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(connection, bytes.data() + sent, bytes.size() - sent, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

const char* reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 404:
      return "Not Found";
    case 413:
      return "Content Too Large";
    default:
      return "Internal Server Error";
  }
}

std::string headerLines(const Headers& headers) {
  std::string lines;
  for (const auto& [name, value] : headers) lines += "\r\n" + name + ": " + value;
  return lines;
}

void sendReply(int connection, const Reply& reply) {
  sendAll(connection, "HTTP/1.1 " + std::to_string(reply.status) + " " + reason(reply.status) +
                          "\r\nContent-Type: " + reply.contentType + "\r\nContent-Length: " +
                          std::to_string(reply.body.size()) + "\r\nConnection: close" +
                          headerLines(reply.headers) + "\r\n\r\n" + reply.body);
}

// Reads until `bytes` holds at least `size` bytes; false when the peer ends or stalls first.
bool readUntil(int connection, std::string& bytes, const std::function<bool()>& enough) {
  char chunk[4096];
  while (!enough()) {
    const ssize_t n = ::recv(connection, chunk, sizeof chunk, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.append(chunk, static_cast<std::size_t>(n));
  }
  return true;
}

std::string lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Every "name: value" line after the request line, the value without the blanks around it.
Headers parseHeaders(const std::string& head) {
  Headers headers;
  for (auto start = head.find("\r\n") + 2; start < head.size();) {
    const auto end = head.find("\r\n", start);
    const std::string line = head.substr(start, end - start);
    const auto colon = line.find(':');
    const auto first = line.find_first_not_of(" \t", colon + 1);
    if (colon != std::string::npos) {
      headers.emplace_back(line.substr(0, colon),
                           first == std::string::npos
                               ? std::string()
                               : line.substr(first, line.find_last_not_of(" \t") + 1 - first));
    }
    start = end + 2;
  }
  return headers;
}

// The value of a header (names compared without case), absent when missing.
std::optional<std::string> header(const Headers& headers, const std::string& name) {
  const auto found = std::find_if(headers.begin(), headers.end(),
                                  [&](const auto& h) { return lowered(h.first) == name; });
  return found == headers.end() ? std::nullopt : std::optional(found->second);
}

// The request line and the body's length; the status to refuse with otherwise.
std::optional<int> parseHead(const std::string& head, Request& request, std::size_t& length) {
  const auto lineEnd = head.find("\r\n");
  const auto space = head.find(' ');
  const auto secondSpace = head.find(' ', space + 1);
  if (space == std::string::npos || secondSpace == std::string::npos || secondSpace > lineEnd ||
      head.compare(secondSpace + 1, 7, "HTTP/1.") != 0) {
    return 400;
  }
  request.headers = parseHeaders(head);
  if (header(request.headers, "transfer-encoding")) return 400;
  request.method = head.substr(0, space);
  const std::string target = head.substr(space + 1, secondSpace - space - 1);
  request.path = target.substr(0, target.find('?'));
  const std::string declared = header(request.headers, "content-length").value_or("0");
  if (declared.empty() || declared.size() > 9 ||
      !std::all_of(declared.begin(), declared.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return 400;
  }
  length = std::stoul(declared);
  return length > kBodyLimit ? std::optional(413) : std::nullopt;
}

// Blocks SIGPIPE on this thread and the threads it starts, so that a peer gone before its reply
// fails the send rather than ending a process that has not ignored the signal; the mask it
// replaced.
sigset_t blockBrokenPipe() {
  sigset_t brokenPipe, previous;
  sigemptyset(&brokenPipe);
  sigaddset(&brokenPipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &brokenPipe, &previous);
  return previous;
}

}  // namespace

LoopbackHttp::LoopbackHttp(Handler handler) : handler_(std::move(handler)) {}

LoopbackHttp::~LoopbackHttp() {
  for (const int fd : {listener_, wake_[0], wake_[1]}) {
    if (fd >= 0) ::close(fd);
  }
}

bool LoopbackHttp::bind(int port) {
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  if (listener_ < 0 || ::pipe(wake_) != 0) return false;
  for (const int fd : {listener_, wake_[0], wake_[1]}) closeOnExec(fd);
  const int yes = 1;
  ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return ::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
         ::listen(listener_, 64) == 0;
}

int LoopbackHttp::port() const {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
  return ntohs(address.sin_port);
}

void LoopbackHttp::serve() {
  const sigset_t previous = blockBrokenPipe();
  pollfd waits[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
  while (true) {
    if (::poll(waits, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (waits[1].revents != 0) break;
    const int connection = ::accept(listener_, nullptr, nullptr);
    if (connection < 0) continue;
    closeOnExec(connection);
    const timeval stall{kStallSeconds, 0};
    ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &stall, sizeof stall);
    ::setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, &stall, sizeof stall);
    std::unique_lock lock(mutex_);
    if (open_ >= kMostConnections) {
      ::close(connection);
      continue;
    }
    ++open_;
    std::thread([this, connection] {
      answer(connection);
      ::close(connection);
      ended();
    }).detach();
  }
  std::unique_lock lock(mutex_);
  allEnded_.wait(lock, [this] { return open_ == 0; });
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void LoopbackHttp::ended() {
  const std::lock_guard lock(mutex_);
  if (--open_ == 0) allEnded_.notify_all();
}

void LoopbackHttp::stop() { (void)!::write(wake_[1], "x", 1); }

void LoopbackHttp::answer(int connection) const {
  std::string bytes;
  std::size_t headEnd = std::string::npos;
  const bool gotHead = readUntil(connection, bytes, [&] {
    headEnd = bytes.find("\r\n\r\n");
    return headEnd != std::string::npos || bytes.size() > kHeadLimit;
  });
  if (!gotHead) return;
  Request request;
  std::size_t length = 0;
  const auto refusal = headEnd == std::string::npos
                           ? std::optional(400)
                           : parseHead(bytes.substr(0, headEnd + 2), request, length);
  if (refusal) {
    sendReply(connection, {*refusal, "application/json",
                           *refusal == 413 ? R"({"error":"The request is too large."})"
                                           : R"({"error":"Bad request."})"});
    return;
  }
  const std::size_t bodyStart = headEnd + 4;
  if (!readUntil(connection, bytes, [&] { return bytes.size() >= bodyStart + length; })) return;
  request.body = bytes.substr(bodyStart, length);
  sendReply(connection, handler_(request));
}

}  // namespace kestrova::engine
