// One agent as its property list describes it: what to run and how to keep it running.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestrova::launchd {

struct Job {
  std::string label;
  std::string program;                 // Program, else the first of ProgramArguments
  std::vector<std::string> arguments;  // ProgramArguments (argv), else just the program
  bool runAtLoad = false;
  bool keepAlive = false;
  int throttleInterval = 10;  // seconds between starts at the least
  int exitTimeout = 5;        // seconds between SIGTERM and SIGKILL when stopping
  std::optional<std::string> standardOutPath;
  std::optional<std::string> standardErrorPath;
  std::optional<std::string> workingDirectory;
  std::vector<std::pair<std::string, std::string>> environment;
};

struct JobReading {
  std::optional<Job> job;
  std::string error;  // why the file was refused, when `job` is absent
};

// Reads an XML property list the way launchd would before loading it, refusing files that are
// missing, writable by others, malformed, or lack a label or a program.
[[nodiscard]] JobReading readJob(const std::string& path);

}  // namespace kestrova::launchd
