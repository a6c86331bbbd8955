// The launchctl command lines the agent runs for uid 501, as a scripted runner sees them, and the
// answers tests give them most often.
#pragma once

#include <string>

#include "app/platform/command_runner.h"

namespace kestrova::testing {

inline const std::string kLaunchctl = "/bin/launchctl";
inline const std::string kService = "gui/501/com.talmiro.kestrova.engine";
inline const std::string kPrint = kLaunchctl + " print " + kService;
inline const std::string kBootout = kLaunchctl + " bootout " + kService;
inline const std::string kKickstart = kLaunchctl + " kickstart -k " + kService;

inline const ShellResult kOk{0, ""};
inline const ShellResult kUnknownService{113,
                                         "Could not find service \"com.talmiro.kestrova.engine\""};

}  // namespace kestrova::testing
