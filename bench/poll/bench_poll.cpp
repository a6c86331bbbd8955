// What one engine status poll costs the app in CPU, back to back and at the real 5-second pace,
// beside peers measured in the same run: a bare reused libcurl handle and the curl program.
//
// The engine stand-in answering the polls runs in a child process, so its work is not counted.
// Environment: KESTROVA_BENCH_POLLS (back-to-back polls, default 2000), KESTROVA_BENCH_IDLE_POLLS
// (polls at the real pace, default 12), KESTROVA_BENCH_PERIOD (seconds between them, default 5).
#include <curl/curl.h>
#include <httplib.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "app/engine/paths.h"
#include "app/engine/status_request.h"
#include "bench/support/process_usage.h"
#include "tests/support/test_platform.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kStatusBody =
    R"({"setup_complete":true,"enabled":true,"playing":true,"live_mode":false,"now":"harbour-dawn.mp4"})";

using kestrova::bench::cpuSeconds;

int setting(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && std::atoi(value) > 0 ? std::atoi(value) : fallback;
}

// The engine stand-in: a child process serving /api/status. Returns its pid; the port comes back
// through a pipe once it listens.
pid_t startEngine(int& port) {
  int ends[2];
  if (pipe(ends) != 0) std::exit(1);
  const pid_t child = fork();
  if (child == 0) {
    close(ends[0]);
    httplib::Server server;
    server.set_tcp_nodelay(true);
    server.Get("/api/status", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(kStatusBody, "application/json");
    });
    const int bound = server.bind_to_any_port("127.0.0.1");
    if (write(ends[1], &bound, sizeof bound) != sizeof bound) _exit(1);
    close(ends[1]);
    server.listen_after_bind();
    _exit(0);
  }
  close(ends[1]);
  if (read(ends[0], &port, sizeof port) != sizeof port || port <= 0) std::exit(1);
  close(ends[0]);
  return child;
}

struct Figures {
  double cpuMs;
  double wallMs;
};

Figures measure(int count, const std::function<void()>& once) {
  const double cpu = cpuSeconds(RUSAGE_SELF);
  const auto wall = Clock::now();
  for (int i = 0; i < count; ++i) once();
  return {(cpuSeconds(RUSAGE_SELF) - cpu) * 1000 / count,
          std::chrono::duration<double, std::milli>(Clock::now() - wall).count() / count};
}

// One poll exactly as the app makes it: port read from config.json, GET on the URL-loading
// thread, derivation there, result posted to the main loop and applied.
kestrova::EngineStatus pollOnce(kestrova::testing::TestPlatform& platform) {
  bool applied = false;
  kestrova::EngineStatus status = kestrova::EngineStatus::offline;
  kestrova::requestStatus([&](const kestrova::StatusReport& report) {
    applied = true;
    status = report.status;
  });
  platform.loop.runUntil([&] { return applied; }, std::chrono::seconds(10));
  return status;
}

// The back-to-back figures, for the app's path and its two peers. Returns the curl program's
// CPU per request (negative when it is missing).
double backToBack(kestrova::testing::TestPlatform& platform, const std::string& url, int polls) {
  for (int i = 0; i < 50; ++i) (void)pollOnce(platform);  // connections, caches, first-use costs
  bool allOnAir = true;
  const Figures app = measure(
      polls, [&] { allOnAir = allOnAir && pollOnce(platform) == kestrova::EngineStatus::onAir; });

  CURL* easy = curl_easy_init();
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(
      easy, CURLOPT_WRITEFUNCTION,
      +[](char*, size_t size, size_t count, void*) { return size * count; });
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  for (int i = 0; i < 50; ++i) curl_easy_perform(easy);
  const Figures bare = measure(polls, [&] { curl_easy_perform(easy); });
  curl_easy_cleanup(easy);

  const int programRuns = 100;
  const double program = kestrova::bench::curlProgram(url, programRuns).cpuMsPerRun;

  std::printf("status poll, back to back (%d polls, engine stand-in in another process):\n", polls);
  std::printf(
      "  app path (requestStatus: config read, GET, derive, post, apply)  %.4f ms CPU  %.4f ms "
      "wall per poll%s\n",
      app.cpuMs, app.wallMs, allOnAir ? "" : "  [NOT all ON AIR]");
  std::printf(
      "  peer: bare libcurl, one reused handle, caller's thread          %.4f ms CPU  %.4f ms wall "
      "per request\n",
      bare.cpuMs, bare.wallMs);
  if (program < 0) {
    std::printf("  peer: the curl program: not found on PATH\n");
  } else {
    std::printf(
        "  peer: the curl program, one run per request (%d runs)           %.4f ms CPU per "
        "request\n",
        programRuns, program);
  }
  std::fflush(stdout);
  return program;
}

// The app's idle cost at the real pace: everything the process spends, timer sleeps included.
void atThePollingPace(kestrova::testing::TestPlatform& platform, int polls, int period,
                      double programCpuMs) {
  const double cpuBefore = cpuSeconds(RUSAGE_SELF);
  const auto start = Clock::now();
  auto next = start;
  for (int i = 0; i < polls; ++i) {
    next += std::chrono::seconds(period);
    std::this_thread::sleep_until(next);
    (void)pollOnce(platform);
  }
  const double cpuMs = (cpuSeconds(RUSAGE_SELF) - cpuBefore) * 1000;
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("idle, one poll every %d s (%d polls over %.1f s):\n", period, polls, wall);
  std::printf("  app process  %.3f ms CPU in all, %.4f ms per poll, %.3f ms per minute\n", cpuMs,
              cpuMs / polls, cpuMs / wall * 60);
  if (programCpuMs >= 0) {
    std::printf("  peer: the curl program at the same pace would take %.3f ms per minute\n",
                programCpuMs * 60.0 / period);
  }
}

}  // namespace

int main() {
  int port = 0;
  const pid_t engine = startEngine(port);  // before any thread exists
  kestrova::testing::TestPlatform platform;
  platform.sandbox.write("Library/Application Support/Kestrova/config.json",
                         "{\"port\": " + std::to_string(port) + "}");
  const double programCpuMs =
      backToBack(platform, "http://127.0.0.1:" + std::to_string(port) + "/api/status",
                 setting("KESTROVA_BENCH_POLLS", 2000));
  atThePollingPace(platform, setting("KESTROVA_BENCH_IDLE_POLLS", 12),
                   setting("KESTROVA_BENCH_PERIOD", 5), programCpuMs);
  kill(engine, SIGTERM);
  waitpid(engine, nullptr, 0);
  return 0;
}
