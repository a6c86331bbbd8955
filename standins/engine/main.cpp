// The stand-in engine: serves the engine's HTTP contract on 127.0.0.1 at the port in config.json,
// keeps its files under the user's Application Support folder, and stops cleanly on SIGTERM.
#include <httplib.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>

#include "standins/engine/engine_state.h"
#include "standins/engine/routes.h"
#include "standins/engine/stream_log.h"

namespace {

std::string homeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return home;
  }
  const passwd* user = getpwuid(getuid());
  return user != nullptr ? user->pw_dir : "/";
}

std::string environmentText(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "(not set)";
}

}  // namespace

int main() {
  namespace fs = std::filesystem;
  using namespace kestrova::engine;

  const fs::path dataDir = fs::path(homeFolder()) / "Library" / "Application Support" / "Kestrova";
  std::error_code error;
  fs::create_directories(dataDir / "logs", error);
  if (error) {
    std::cerr << "kestrova-engine: cannot create " << (dataDir / "logs") << ": " << error.message()
              << '\n';
    return 1;
  }
  StreamLog log((dataDir / "logs" / "stream.log").string());
  EngineState state((dataDir / "config.json").string(), log);
  const std::int64_t port = state.loadPort();
  log.write("engine starting, pid " + std::to_string(getpid()) + ", resources " +
            environmentText("KESTROVA_RESOURCES"));

  // Signals are taken by sigwait below, never by a handler, so stopping the server happens on
  // an ordinary thread. Every thread started from here on inherits the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  httplib::Server server;
  addRoutes(server, state);
  if (!server.bind_to_port("127.0.0.1", static_cast<int>(port))) {
    log.write("cannot listen on 127.0.0.1:" + std::to_string(port));
    std::cerr << "kestrova-engine: cannot listen on 127.0.0.1:" << port << '\n';
    return 1;
  }
  log.write("listening on 127.0.0.1:" + std::to_string(port));

  std::atomic<bool> stopping{false};
  std::thread listener([&] {
    server.listen_after_bind();
    if (!stopping) {
      kill(getpid(), SIGTERM);  // the server gave up on its own: end the process the same way
    }
  });
  int received = 0;
  sigwait(&stopSignals, &received);
  stopping = true;
  log.write("stopping on signal " + std::to_string(received));
  server.stop();
  listener.join();
  return 0;
}
