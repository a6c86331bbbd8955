// What a benchmark reads about processes: CPU time, resident memory, and the curl program as a
// peer making the same request, so that figures from different benches are taken the same way.
#pragma once

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <fstream>
#include <string>

extern char** environ;

namespace kestrova::bench {

[[nodiscard]] inline double seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// User plus system CPU seconds of RUSAGE_SELF or RUSAGE_CHILDREN (reaped children only).
[[nodiscard]] inline double cpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A "Name:   value kB" line of /proc/<pid>/status (VmRSS, VmHWM, Threads ...), or -1.
[[nodiscard]] inline long procStatus(const std::string& pid, const std::string& name) {
  std::ifstream status("/proc/" + pid + "/status");
  std::string key;
  long value = -1;
  while (status >> key) {
    if (key == name + ":") {
      status >> value;
      return value;
    }
    std::getline(status, key);
  }
  return -1;
}

struct ProgramRuns {
  double cpuMsPerRun = -1;  // negative: the program could not be started
  // The largest resident set of a run. Linux carries a child's resident set at the fork over
  // the exec, so this means something only when the caller itself is small.
  long maxRssKb = -1;
};

// Runs the curl program `runs` times against `url`, one process per request; each run's own
// usage comes from wait4, so other children of the bench do not count.
[[nodiscard]] inline ProgramRuns curlProgram(const std::string& url, int runs) {
  ProgramRuns figures{0, 0};
  for (int i = 0; i < runs; ++i) {
    const char* argv[] = {"curl", "-s", "-o", "/dev/null", url.c_str(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
      return {};
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    figures.cpuMsPerRun += (seconds(usage.ru_utime) + seconds(usage.ru_stime)) * 1000 / runs;
    figures.maxRssKb = std::max(figures.maxRssKb, usage.ru_maxrss);
  }
  return figures;
}

}  // namespace kestrova::bench
