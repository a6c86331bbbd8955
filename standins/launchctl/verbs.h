// The launchctl subcommands: each writes what the real tool would say and returns its status.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kestrova::launchd {

// Statuses in the manner of the real tool.
inline constexpr int kUsageStatus = 64;
inline constexpr int kIoErrorStatus = 5;
inline constexpr int kInProgressStatus = 37;
inline constexpr int kNoSuchServiceStatus = 113;

int bootstrap(const std::string& domain, const std::string& plistPath, std::ostream& out);
int bootout(const std::string& serviceTarget, std::ostream& out);
int print(const std::string& serviceTarget, std::ostream& out);
// Arguments after "kickstart": [-k] [-p] <service target>.
int kickstart(const std::vector<std::string>& arguments, std::ostream& out);
// Loads every agent in ~/Library/LaunchAgents that is not loaded yet, as a login does.
int replayLogin(const std::string& domain, std::ostream& out);
// Kills every supervisor and program of this home at once, unloading nothing cleanly.
int powerCut(std::ostream& out);

}  // namespace kestrova::launchd
