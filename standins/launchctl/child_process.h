// Starting a job's program the way launchd does: in a process group of its own, output appended
// to the named files, the job's variables on top of the supervisor's environment.
#pragma once

#include <sys/types.h>

#include <string>

#include "standins/launchctl/job.h"

namespace kestrova::launchd {

// The new process's id (also its process group's), or -1 with `error` set when fork failed.
// A program that cannot be executed exits with status 127 after saying why on its error output.
pid_t startProgram(const Job& job, std::string& error);

}  // namespace kestrova::launchd
