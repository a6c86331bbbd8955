#include "app/platform/standin_tools.h"

namespace kestrova {

Tools standinToolsIn(const std::string& standins) {
  const std::string dir = standins + "/";
  Tools tools;
  tools.launchctl = dir + "launchctl";
  tools.caffeinate = dir + "caffeinate";
  tools.security = dir + "security";
  tools.spctl = dir + "spctl";
  tools.codesign = dir + "codesign";
  tools.hdiutil = dir + "hdiutil";
  tools.ditto = dir + "ditto";
  tools.open = dir + "open";
  // These exist on Linux as they do on the Mac.
  tools.shasum = "/usr/bin/shasum";
  tools.tail = "/usr/bin/tail";
  tools.bash = "/bin/bash";
  tools.pythonCandidates = {"/usr/bin/python3"};
  return tools;
}

}  // namespace kestrova
