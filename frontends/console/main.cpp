// kestrova-console: the app's core without a desktop, printing the engine status it derives
// every 5 seconds. A way to run the product where no front end is available.
#include <array>
#include <chrono>
#include <csignal>
#include <ctime>
#include <iostream>
#include <thread>

#include "app/engine/engine_status.h"
#include "app/engine/paths.h"
#include "app/engine/status_request.h"
#include "app/platform/curl_http.h"
#include "app/platform/platform.h"
#include "app/platform/posix_command_runner.h"
#include "app/platform/posix_host.h"
#include "frontends/console/console_loop.h"
#include "frontends/console/console_ui.h"

namespace {

constexpr double kPollSeconds = 5.0;

std::string clockText(std::chrono::system_clock::time_point when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm local{};
  localtime_r(&seconds, &local);
  std::array<char, 16> text{};
  std::strftime(text.data(), text.size(), "%H:%M:%S", &local);
  return text.data();
}

void printStatus(const kestrova::StatusReport& report) {
  std::cout << clockText(kestrova::platform().host().now()) << "  "
            << kestrova::label(report.status);
  if (!report.now.empty()) {
    std::cout << "  \u2014 now playing: " << report.now;
  }
  std::cout << std::endl;
}

}  // namespace

int main() {
  using namespace kestrova;

  // Ctrl-C and SIGTERM are taken by a waiting thread; the mask is set before any other thread
  // (libcurl's) exists so that all of them inherit it.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  console::ConsoleLoop loop;
  console::ConsoleUi ui(loop, std::cout);
  PosixHost host;
  PosixCommandRunner runner;
  CurlHttp http;
  Platform installedPlatform(loop, http, ui, host, runner, Tools{});
  ScopedPlatform installed(installedPlatform);

  std::thread signalWaiter([&loop, stopSignals] {
    int received = 0;
    sigwait(&stopSignals, &received);
    loop.quit();
  });

  std::cout << "Kestrova console: polling " << Paths::engineURL("/api/status") << " every "
            << kPollSeconds << " s (Ctrl-C to stop)" << std::endl;
  const auto poll = [] { requestStatus(printStatus); };
  poll();
  const std::unique_ptr<Timer> timer = loop.repeat(kPollSeconds, poll);
  loop.run();
  signalWaiter.join();
  // A poll still in flight completes ("cancelled") while the platform it posts to is installed.
  http.shutdown();
  return 0;
}
