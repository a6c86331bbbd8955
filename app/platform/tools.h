// Absolute paths of every system tool the app runs; the Mac's by default.
#pragma once

#include <string>
#include <vector>

namespace kestrova {

struct Tools {
  std::string launchctl = "/bin/launchctl";
  std::string caffeinate = "/usr/bin/caffeinate";
  std::vector<std::string> pythonCandidates = {
      "/usr/bin/python3",
      "/opt/homebrew/bin/python3",
      "/usr/local/bin/python3",
      "/Library/Frameworks/Python.framework/Versions/Current/bin/python3",
  };
  std::string security = "/usr/bin/security";
  std::string shasum = "/usr/bin/shasum";
  std::string spctl = "/usr/sbin/spctl";
  std::string codesign = "/usr/bin/codesign";
  std::string tail = "/usr/bin/tail";
  std::string bash = "/bin/bash";
  // The update helper's own tools.
  std::string hdiutil = "/usr/bin/hdiutil";
  std::string ditto = "/usr/bin/ditto";
  std::string open = "/usr/bin/open";
};

}  // namespace kestrova
