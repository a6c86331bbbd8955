// The update helper runs the tools the seam names, each as one shell word. What the script does
// is proved by running it (the update fault tests); only a foreign path shows the quoting.
#include "app/update/helper_script.h"

#include <gtest/gtest.h>

namespace kestrova::Updater {
namespace {

TEST(HelperScript, QuotesEachToolPathAsOneShellWord) {
  Tools tools;
  tools.open = "/Volumes/My Disk/it's/open";
  EXPECT_TRUE(helperScript(tools).ends_with("\n'/Volumes/My Disk/it'\\''s/open' \"$APP\""));
}

}  // namespace
}  // namespace kestrova::Updater
