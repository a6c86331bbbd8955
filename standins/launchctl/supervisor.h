// The process behind one loaded service: runs the program, restarts it when it exits (not sooner
// than the throttle allows), and ends its whole process group on bootout or kickstart -k.
#pragma once

#include <signal.h>

#include <string>

namespace kestrova::launchd {

// Signals the supervisor answers.
inline constexpr int kBootoutSignal = SIGTERM;    // end the program, then unload
inline constexpr int kRestartSignal = SIGUSR1;    // kickstart -k: end and start at once
inline constexpr int kKickstartSignal = SIGUSR2;  // kickstart: start when not running

// Loads the property list at `plistPath` into `domain` and supervises it until booted out.
// `readyFd` receives "R" once the service is loaded, or "E" and the reason it is not.
int superviseService(const std::string& domain, const std::string& plistPath, int readyFd);

}  // namespace kestrova::launchd
