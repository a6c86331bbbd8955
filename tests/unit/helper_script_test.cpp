#include "app/update/helper_script.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace kestrova::Updater {
namespace {

// The helper exactly as it ships for the Mac, line by line.
const char* const kMacLines[] = {
    "#!/bin/bash",
    "# Kestrova update helper \xE2\x80\x94 runs outside the bundle it replaces.",
    "PID=\"$1\"; APP=\"$2\"; DMG=\"$3\"; exec >>\"$4\" 2>&1",
    "echo \"== update $(date) pid=$PID app=$APP dmg=$DMG\"",
    "while /bin/kill -0 \"$PID\" 2>/dev/null; do /bin/sleep 0.3; done",
    "M=\"$(/usr/bin/mktemp -d)\"",
    "BAK=\"$(/usr/bin/dirname \"$APP\")/.Kestrova-previous\"",
    "NEW=\"$(/usr/bin/dirname \"$APP\")/.Kestrova-incoming\"",
    "/bin/rm -rf \"$BAK\" \"$NEW\"",
    // Every failure once the app has gone puts back what it can and reopens the installed copy.
    "recover() {",
    "    echo \"$1 \xE2\x80\x94 reopening the installed version\"",
    "    [ -n \"$2\" ] && { /bin/rm -rf \"$APP\"; /bin/mv \"$BAK\" \"$APP\"; }",
    "    /bin/rm -rf \"$NEW\"; /usr/bin/hdiutil detach \"$M\" -force; /usr/bin/open \"$APP\"; exit "
    "1",
    "}",
    "/usr/bin/hdiutil attach -nobrowse -readonly -mountpoint \"$M\" \"$DMG\" || recover \"MOUNT "
    "FAILED\"",
    // The copy goes beside the installed bundle first, and reaches the disk before the renames.
    "if /usr/bin/ditto \"$M/Kestrova.app\" \"$NEW\"; then",
    "    /bin/sync",
    "    /bin/mv \"$APP\" \"$BAK\" || recover \"MOVE ASIDE FAILED\"",
    "    /bin/mv \"$NEW\" \"$APP\" || recover \"RENAME FAILED\" putBack",
    "    echo \"swap OK\"; /bin/rm -rf \"$BAK\"",
    "else",
    "    echo \"COPY FAILED \xE2\x80\x94 restoring previous version\"",
    "    /bin/rm -rf \"$NEW\"",
    "fi",
    "/usr/bin/hdiutil detach \"$M\" -force",
    "/bin/rm -f \"$DMG\"",
    "/usr/bin/open \"$APP\"",
};

std::string joined(const std::string& hdiutil, const std::string& ditto, const std::string& open) {
  std::string text;
  for (std::string line : kMacLines) {
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"/usr/bin/hdiutil", hdiutil},
                                   {"/usr/bin/ditto", ditto},
                                   {"/usr/bin/open", open}}) {
      for (auto at = line.find(from); at != std::string::npos;
           at = line.find(from, at + to.size())) {
        line.replace(at, from.size(), to);
      }
    }
    text += text.empty() ? line : "\n" + line;
  }
  return text;
}

TEST(HelperScript, IsTheFixedTextWithTheMacTools) {
  // Exactly these lines, with no newline after the last.
  EXPECT_EQ(helperScript(Tools{}), joined("/usr/bin/hdiutil", "/usr/bin/ditto", "/usr/bin/open"));
}

TEST(HelperScript, OnlyTheThreeHelperToolsFollowTheToolPaths) {
  Tools tools;
  tools.hdiutil = "/opt/k/standins/hdiutil";
  tools.ditto = "/opt/k/standins/ditto";
  tools.open = "/opt/k/standins/open";
  tools.bash = "/somewhere/else/bash";  // never named inside the script
  EXPECT_EQ(helperScript(tools),
            joined("/opt/k/standins/hdiutil", "/opt/k/standins/ditto", "/opt/k/standins/open"));
}

TEST(HelperScript, APathThatIsNotOneShellWordIsQuoted) {
  Tools tools;
  tools.open = "/Volumes/My Disk/it's/open";
  EXPECT_EQ(helperScript(tools),
            joined("/usr/bin/hdiutil", "/usr/bin/ditto", "'/Volumes/My Disk/it'\\''s/open'"));
}

}  // namespace
}  // namespace kestrova::Updater
