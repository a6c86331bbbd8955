// The update helper runs the tools the seam names, each as one shell word. What the script does
// is proved by running it (the update fault tests); this is what only a foreign path shows.
#include "app/update/helper_script.h"

#include <gtest/gtest.h>

namespace kestrova::Updater {
namespace {

TEST(HelperScript, RunsTheSeamsToolsEachAsOneShellWord) {
  Tools tools;
  tools.hdiutil = "/opt/k/hdiutil";
  tools.ditto = "/opt/k/ditto";
  tools.open = "/Volumes/My Disk/it's/open";
  tools.bash = "/somewhere/else/bash";  // never named inside the script
  const std::string script = helperScript(tools);
  EXPECT_NE(script.find("\n/opt/k/hdiutil attach -nobrowse"), std::string::npos) << script;
  EXPECT_NE(script.find("if /opt/k/ditto \"$M/Kestrova.app\""), std::string::npos) << script;
  EXPECT_TRUE(script.ends_with("\n'/Volumes/My Disk/it'\\''s/open' \"$APP\"")) << script;
  for (const char* absent : {"/usr/bin/hdiutil", "/usr/bin/ditto", "/usr/bin/open", "/somewhere"}) {
    EXPECT_EQ(script.find(absent), std::string::npos) << absent;
  }
}

}  // namespace
}  // namespace kestrova::Updater
