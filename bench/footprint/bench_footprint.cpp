// What the running core costs the machine: the real controller, main loop and libcurl client
// idle for a minute while the 5-second poll runs against the stand-in engine (kept alive by the
// launchctl stand-in, as an installed agent), then a burst of back-to-back polls; CPU from
// getrusage, resident memory from /proc/self/status. Beside it, the curl program making the same
// request, measured in the same run.
//
// Environment: KESTROVA_BENCH_IDLE_SECONDS (default 60), KESTROVA_BENCH_BURST (default 1000),
// KESTROVA_BENCH_PEER_RUNS (curl program runs, default 1000).
#include <httplib.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/engine/agent.h"
#include "app/engine/shell.h"
#include "app/engine/status_request.h"
#include "app/platform/curl_http.h"
#include "app/platform/platform.h"
#include "app/platform/posix_command_runner.h"
#include "app/platform/posix_host.h"
#include "app/shell/app_delegate.h"
#include "bench/support/process_usage.h"
#include "frontends/console/console_loop.h"
#include "tests/support/real_processes.h"
#include "tests/support/test_platform.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int setting(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && std::atoi(value) > 0 ? std::atoi(value) : fallback;
}

// A desktop with nothing on it: the controller's drawing and menus go nowhere.
class NullStatusItem final : public StatusItem {
 public:
  bool setSymbol(const std::string&, const std::string&) override { return true; }
  void setTitle(const std::string&) override {}
  void setMenu(const Menu&) override {}
  void setAppearsDisabled(bool) override {}
};

class NullUi final : public Ui {
 public:
  int alerts = 0;  // none is expected: an alert means the set-up went wrong
  void setRegularActivationPolicy() override {}
  void setMainMenu(const Menu&) override {}
  int run(AppHandler&) override { return 0; }
  void activate() override {}
  void terminate() override {}
  AlertAnswer runAlert(const AlertSpec& alert) override {
    ++alerts;
    std::fprintf(stderr, "unexpected alert: %s / %s\n", alert.message.c_str(),
                 alert.informative.c_str());
    return AlertAnswer{kAlertFirstButton + 1, {}};
  }
  std::optional<std::string> chooseFolder(const FolderPanelSpec&) override { return std::nullopt; }
  std::unique_ptr<StatusItem> createStatusItem() override {
    return std::make_unique<NullStatusItem>();
  }
  std::unique_ptr<WebWindow> createWebWindow(const WebWindowSpec&, WebWindowDelegate&) override {
    return nullptr;
  }
  void setPasteboardText(const std::string&) override {}
  bool openURL(const std::string&) override { return false; }
  void revealFile(const std::string&) override {}
};

struct Snapshot {
  double cpu = bench::cpuSeconds(RUSAGE_SELF);
  Clock::time_point wall = Clock::now();
  long rssKb = bench::procStatus("self", "VmRSS");
  long hwmKb = bench::procStatus("self", "VmHWM");
  long threads = bench::procStatus("self", "Threads");
};

void printPhase(const char* title, const Snapshot& from, const Snapshot& to) {
  std::printf(
      "%s\n  %.3f s CPU over %.1f s; resident %ld kB (was %ld kB), peak %ld kB; %ld threads\n",
      title, to.cpu - from.cpu, std::chrono::duration<double>(to.wall - from.wall).count(),
      to.rssKb, from.rssKb, to.hwmKb, to.threads);
}

// A home of its own: the engine's config (port, media folder, a feed nobody answers) and videos.
std::string prepareHome(int port) {
  char pattern[] = "/tmp/kestrova-footprint-XXXXXX";
  const std::string home = ::mkdtemp(pattern) != nullptr ? pattern : "";
  const fs::path data = fs::path(home) / "Library/Application Support/Kestrova";
  fs::create_directories(data);
  fs::create_directories(fs::path(home) / "Movies");
  for (const char* name : {"harbour-dawn.mp4", "night-ferry.mov"}) {
    std::ofstream(fs::path(home) / "Movies" / name) << "not really a video";
  }
  std::ofstream(data / "config.json")
      << "{\"port\": " << port << ", \"media_folder\": \"" << home << "/Movies\", "
      << "\"update_feed\": \"http://127.0.0.1:" << testing::freePort() << "/appcast.json\"}\n";
  ::setenv("HOME", home.c_str(), 1);
  ::setenv("KESTROVA_ALLOW_ANYWHERE", "1", 1);
  return home;
}

bool engineAnswers(int port) {
  httplib::Client client("127.0.0.1", port);
  client.set_connection_timeout(1);
  const auto reply = client.Get("/api/status");
  return reply && reply->status == 200;
}

// The curl program making the same request: per poll beside the burst's figure, and per minute
// at the 5-second pace beside the idle figure.
void printPeer(int port, double appMsPerPoll, double appMsPerMinute) {
  const int runs = setting("KESTROVA_BENCH_PEER_RUNS", 1000);
  // Run from a fresh, small copy of this program, so that curl's peak is its own (see
  // bench::ProgramRuns::maxRssKb).
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  const std::string command = "'" + self +
                              "' --curl-peer http://127.0.0.1:" + std::to_string(port) +
                              "/api/status " + std::to_string(runs);
  double cpuMs = -1;
  long maxRssKb = -1;
  if (FILE* peer = ::popen(command.c_str(), "r")) {
    if (std::fscanf(peer, "%lf %ld", &cpuMs, &maxRssKb) != 2) cpuMs = -1;
    ::pclose(peer);
  }
  if (cpuMs < 0) {
    std::printf("peer: the curl program could not be run\n");
    return;
  }
  std::printf(
      "peer: the curl program, one run per poll (%d runs)\n"
      "  %.3f ms CPU per poll (the app: %.3f ms); at the 5 s pace %.3f ms CPU per minute "
      "(the app: %.3f ms); peak resident %ld kB\n",
      runs, cpuMs, appMsPerPoll, cpuMs * 12, appMsPerMinute, maxRssKb);
}

int runBench() {
  const int port = testing::freePort();
  const std::string home = prepareHome(port);
  const int idleSeconds = setting("KESTROVA_BENCH_IDLE_SECONDS", 60);
  const int burst = setting("KESTROVA_BENCH_BURST", 1000);

  console::ConsoleLoop loop;
  NullUi ui;
  PosixHost host(KESTROVA_BUNDLE_DIR);
  PosixCommandRunner runner;
  CurlHttp http;
  Platform services(loop, http, ui, host, runner, testing::standinTools());
  ScopedPlatform installed(services);

  // The engine runs as the installed agent, as on a set-up Mac; start-up then finds it loaded.
  if (const auto failure = Agent::install()) {
    std::fprintf(stderr, "agent not installed: %s\n", failure->c_str());
    return 1;
  }
  if (!testing::eventually([&] { return engineAnswers(port); }, 30)) {
    std::fprintf(stderr, "the stand-in engine does not answer\n");
    shell(services.tools().launchctl, {"x-power-cut"});
    return 1;
  }

  const auto delegate = AppDelegate::create();
  Snapshot idleFrom;
  Snapshot idleTo;
  Snapshot burstTo;
  int answered = 0;
  bool allOnAir = true;
  std::function<void(const StatusReport&)> next = [&](const StatusReport& report) {
    allOnAir = allOnAir && report.status == EngineStatus::onAir;
    if (++answered < burst) {
      requestStatus(next);
    } else {
      burstTo = Snapshot{};
      loop.quit();
    }
  };
  loop.post([&] { delegate->applicationDidFinishLaunching(); });
  loop.postAfter(idleSeconds + 0.5, [&] {
    idleTo = Snapshot{};
    requestStatus(next);
  });
  loop.run();

  printPhase(("idle: the controller launched and polling every 5 s for " +
              std::to_string(idleSeconds) + " s (" + std::to_string(idleSeconds / 5 + 1) +
              " polls), last status " + std::string(label(delegate->status())))
                 .c_str(),
             idleFrom, idleTo);
  const double idleMsPerMinute = (idleTo.cpu - idleFrom.cpu) * 1000 * 60 / idleSeconds;
  std::printf("  %.3f ms CPU per minute, %.3f ms per poll interval\n", idleMsPerMinute,
              idleMsPerMinute / 12);
  printPhase(("burst: " + std::to_string(burst) + " polls back to back through the same loop" +
              (allOnAir ? "" : " [NOT all ON AIR]"))
                 .c_str(),
             idleTo, burstTo);
  const double burstMsPerPoll = (burstTo.cpu - idleTo.cpu) * 1000 / burst;
  std::printf(
      "  %.3f ms CPU per poll, %.3f ms wall per poll\n", burstMsPerPoll,
      std::chrono::duration<double, std::milli>(burstTo.wall - idleTo.wall).count() / burst);
  printPeer(port, burstMsPerPoll, idleMsPerMinute);
  if (ui.alerts > 0) std::printf("WARNING: %d alert(s) were raised\n", ui.alerts);

  shell(services.tools().launchctl, {"x-power-cut"});
  std::error_code ignored;
  fs::remove_all(home, ignored);
  return 0;
}

}  // namespace
}  // namespace kestrova

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--curl-peer") {
    const auto runs = kestrova::bench::curlProgram(argv[2], std::atoi(argv[3]));
    std::printf("%f %ld\n", runs.cpuMsPerRun, runs.maxRssKb);
    return runs.cpuMsPerRun < 0 ? 1 : 0;
  }
  return kestrova::runBench();
}
