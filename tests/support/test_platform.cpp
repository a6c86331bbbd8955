#include "tests/support/test_platform.h"

#include "app/platform/standin_tools.h"

namespace kestrova::testing {

Tools standinTools() { return standinToolsIn(KESTROVA_STANDINS_DIR); }

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
