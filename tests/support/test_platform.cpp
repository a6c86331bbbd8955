#include "tests/support/test_platform.h"

namespace kestrova::testing {

Tools standinTools() {
  const std::string dir = KESTROVA_STANDINS_DIR;
  Tools tools;
  tools.launchctl = dir + "/launchctl";
  tools.caffeinate = dir + "/caffeinate";
  tools.security = dir + "/security";
  tools.spctl = dir + "/spctl";
  tools.codesign = dir + "/codesign";
  tools.hdiutil = dir + "/hdiutil";
  tools.ditto = dir + "/ditto";
  tools.open = dir + "/open";
  tools.shasum = "/usr/bin/shasum";
  tools.tail = "/usr/bin/tail";
  tools.bash = "/bin/bash";
  tools.pythonCandidates = {"/usr/bin/python3"};
  return tools;
}

TestPlatform::TestPlatform(Tools tools, CommandRunner* runner) {
  platform_ = std::make_unique<Platform>(loop, *http, ui, host, runner ? *runner : realRunner,
                                         std::move(tools));
  installed_ = std::make_unique<ScopedPlatform>(*platform_);
}

TestPlatform::~TestPlatform() {
  // Finish in-flight transfers while the platform is still installed, then uninstall.
  http.reset();
  installed_.reset();
}

}  // namespace kestrova::testing
