// The stand-in engine: serves the engine's HTTP contract on 127.0.0.1 at the port in config.json,
// keeps its files under the user's Application Support folder, and stops cleanly on SIGTERM.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <thread>

#include "standins/engine/dashboard_password.h"
#include "standins/engine/engine_state.h"
#include "standins/engine/routes.h"

int main() {
  namespace fs = std::filesystem;
  using namespace kestrova::engine;

  const char* home = std::getenv("HOME");  // launchd always sets it for an agent
  const fs::path dataDir = fs::path(home ? home : ".") / "Library/Application Support/Kestrova";
  std::error_code error;
  fs::create_directories(dataDir / "logs", error);
  StreamLog log((dataDir / "logs" / "stream.log").string());
  EngineState state((dataDir / "config.json").string(), log);
  const std::int64_t port = state.loadPort();
  const char* resources = std::getenv("KESTROVA_RESOURCES");
  log.write("engine starting, pid " + std::to_string(getpid()) + ", resources " +
            (resources ? resources : "(not set)"));
  ensureDashboardPassword(log);

  // Signals are taken by sigwait below, never by a handler, so stopping the server happens on
  // an ordinary thread. Every thread started from here on inherits the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  LoopbackHttp server([&state](const Request& request) { return answer(request, state); });
  const std::string address = "127.0.0.1:" + std::to_string(port);
  if (!server.bind(static_cast<int>(port))) {
    log.write("cannot listen on " + address);
    std::cerr << "kestrova-engine: cannot listen on " << address << '\n';
    return 1;
  }
  log.write("listening on " + address);

  std::atomic<bool> stopping{false};
  std::thread listener([&] {
    server.serve();
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
