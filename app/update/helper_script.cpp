#include "app/update/helper_script.h"

#include <string_view>

namespace kestrova::Updater {
namespace {

// Paths go into the script as words; one holding anything but plain path characters is
// single-quoted so that the shell still reads it as one word (the Mac's paths never need it).
std::string shellWord(std::string_view path) {
  constexpr std::string_view kPlain =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._+-";
  if (!path.empty() && path.find_first_not_of(kPlain) == std::string_view::npos) {
    return std::string(path);
  }
  std::string quoted = "'";
  for (char c : path) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

}  // namespace

std::string helperScript(const Tools& tools) {
  const auto hdiutil = shellWord(tools.hdiutil);
  const auto ditto = shellWord(tools.ditto);
  const auto open = shellWord(tools.open);
  // The new bundle is copied beside the installed one first, flushed to disk, and only then
  // swapped in by two renames, so a power cut or a kill during the long copy leaves the installed
  // bundle whole at its path; the only moment without a bundle there is between the two renames.
  // Nobody is at the Mac when this runs: every failure once the app has quit puts the installed
  // bundle back where it was moved aside and reopens it, so that the agent and the engine come
  // back.
  return "#!/bin/bash\n"
         "# Kestrova update helper \u2014 runs outside the bundle it replaces.\n"
         "PID=\"$1\"; APP=\"$2\"; DMG=\"$3\"; exec >>\"$4\" 2>&1\n"
         "echo \"== update $(date) pid=$PID app=$APP dmg=$DMG\"\n"
         // Only a bundle is ever moved aside and deleted; the app checks this too.
         "case \"$APP\" in *.app) [ -f \"$APP/Contents/Info.plist\" ] ;; *) false ;; esac || "
         "{ echo \"NOT A BUNDLE \u2014 nothing replaced\"; exit 1; }\n"
         "while /bin/kill -0 \"$PID\" 2>/dev/null; do /bin/sleep 0.3; done\n"
         "M=\"$(/usr/bin/mktemp -d)\"\n"
         "BAK=\"$(/usr/bin/dirname \"$APP\")/.Kestrova-previous\"\n"
         "NEW=\"$(/usr/bin/dirname \"$APP\")/.Kestrova-incoming\"\n"
         "/bin/rm -rf \"$BAK\" \"$NEW\"\n"
         "recover() {\n"
         "    echo \"$1 \u2014 reopening the installed version\"\n"
         "    [ -n \"$2\" ] && { /bin/rm -rf \"$APP\"; /bin/mv \"$BAK\" \"$APP\"; }\n"
         "    /bin/rm -rf \"$NEW\"; " +
         hdiutil + " detach \"$M\" -force; " + open + " \"$APP\"; exit 1\n" + "}\n" + hdiutil +
         " attach -nobrowse -readonly -mountpoint \"$M\" \"$DMG\" || recover \"MOUNT FAILED\"\n" +
         "if " + ditto + " \"$M/Kestrova.app\" \"$NEW\"; then\n" +
         "    /bin/sync\n"
         "    /bin/mv \"$APP\" \"$BAK\" || recover \"MOVE ASIDE FAILED\"\n"
         "    /bin/mv \"$NEW\" \"$APP\" || recover \"RENAME FAILED\" putBack\n"
         "    echo \"swap OK\"; /bin/rm -rf \"$BAK\"\n"
         "else\n"
         "    echo \"COPY FAILED \u2014 restoring previous version\"\n"
         "    /bin/rm -rf \"$NEW\"\n"
         "fi\n" +
         hdiutil + " detach \"$M\" -force\n" + "/bin/rm -f \"$DMG\"\n" + open + " \"$APP\"";
}

}  // namespace kestrova::Updater
