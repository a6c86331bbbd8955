// launchctl for Linux: the subcommands the app uses, answered the way the real tool answers them,
// plus two that only a test needs (replaying a login, cutting the power).
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "standins/launchctl/supervisor.h"
#include "standins/launchctl/verbs.h"

namespace {

using namespace kestrova::launchd;

int usage(std::ostream& out, const std::string& verb) {
  if (!verb.empty()) {
    out << "Unrecognized subcommand: " << verb << "\n";
  }
  out << "Usage: launchctl <subcommand> ... | help [subcommand]\n"
         "  bootstrap gui/<uid> <plist>\n"
         "  bootout gui/<uid>/<label>\n"
         "  print gui/<uid>/<label>\n"
         "  kickstart [-k] [-p] gui/<uid>/<label>\n"
         "  x-login-replay gui/<uid>    load every agent in ~/Library/LaunchAgents\n"
         "  x-power-cut                 kill every service of this home at once\n";
  return kUsageStatus;
}

int dispatch(const std::vector<std::string>& args, std::ostream& out) {
  const std::string verb = args.empty() ? "" : args[0];
  const std::size_t count = args.size();
  if (verb == "bootstrap" && count == 3) return bootstrap(args[1], args[2], out);
  if (verb == "bootout" && count == 2) return bootout(args[1], out);
  if (verb == "print" && count == 2) return print(args[1], out);
  if (verb == "kickstart" && count >= 2) return kickstart({args.begin() + 1, args.end()}, out);
  if (verb == "x-login-replay" && count == 2) return replayLogin(args[1], out);
  if (verb == "x-power-cut" && count == 1) return powerCut(out);
  if (verb == "x-supervise" && count == 4) {
    return superviseService(args[1], args[2], std::atoi(args[3].c_str()));
  }
  const bool known = verb == "bootstrap" || verb == "bootout" || verb == "print" ||
                     verb == "kickstart" || verb == "x-login-replay" || verb == "x-power-cut";
  return usage(out, known ? "" : verb);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  // Everything is said in one write, as the caller reads one pipe for both streams.
  std::ostringstream out;
  const int status = dispatch(args, out);
  const std::string text = out.str();
  (status == 0 ? std::cout : std::cerr) << text << std::flush;
  return status;
}
