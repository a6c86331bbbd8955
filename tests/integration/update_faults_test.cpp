// The update helper under faults: the real script, written by the app and run by /bin/bash,
// killed (SIGKILL to its whole process group) before each command it runs, with the stand-in
// tools (a kill before its detach would leave a real image attached), and run with each tool
// failing in turn, on the Mac with its own hdiutil and ditto. What must hold afterwards: the bundle
// is at its path, whole, old or new and never a mixture of the two. The helper copies the new
// bundle beside the old one before swapping, so the one point where a kill leaves nothing at the
// path is between the two renames; there both bundles are whole beside it, the copy flushed to disk
// (`sync`) in case the power goes rather than the process. Every failure once the app has quit ends
// with the installed bundle opened again, so that the agent and the engine come back.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/engine/shell.h"
#include "app/update/swap_and_relaunch.h"
#include "app/update/update_paths.h"
#include "tests/support/child_process.h"
#include "tests/support/real_processes.h"
#include "tests/support/scoped_env.h"
#include "tests/support/system_view.h"
#include "tests/support/test_platform.h"

namespace kestrova::testing {
namespace {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;  // relative path -> contents

// A small bundle of one version: Info.plist, the executable (which records that it was opened)
// and a resource, so that a copy cut short is told apart from a whole one.
Tree bundleOf(const std::string& version) {
  return {{"Contents/Info.plist", "<plist><string>" + version + "</string></plist>\n"},
          {"Contents/MacOS/Kestrova", "#!/bin/sh\necho " + version + " >> \"$HOME/opened\"\n"},
          {"Contents/Resources/engine/runtime/kestrova-engine", "the engine of " + version}};
}
const Tree kOld = bundleOf("old"), kNew = bundleOf("new");
const std::string kMoveAside = "/bin/mv \"$APP\" \"$BAK\"", kRename = "/bin/mv \"$NEW\" \"$APP\"";

// "old", "new", "missing", or "partial" for anything else found at the path.
std::string whatIsAt(const fs::path& where) {
  if (!fs::is_directory(where)) return fs::exists(where) ? "partial" : "missing";
  Tree found;
  for (const auto& entry : fs::recursive_directory_iterator(where)) {
    if (entry.is_regular_file()) found[fs::relative(entry, where).string()] = readFile(entry);
  }
  return found == kOld ? "old" : found == kNew ? "new" : "partial";
}

// The tool at `real`, or a failure where `test` holds. ditto's failure is a copy cut short, which
// leaves the new Info.plist only; hdiutil's comes after its work is done, so that no image stays
// attached to the machine.
std::string failing(const std::string& tool, const std::string& test, const std::string& real) {
  const std::string cutShort =
      "mkdir -p \"$2/Contents\"; cp \"$1/Contents/Info.plist\" \"$2/Contents/\"; ";
  const std::string work = tool == "ditto" ? cutShort : tool == "hdiutil" ? real + " \"$@\"; " : "";
  return "#!/bin/sh\n[ " + test + " ] && { " + work + "exit 1; }; exec " + real + " \"$@\"\n";
}

struct Outcome {
  int exitStatus;                     // 128 + 9 when killed
  std::string app, backup, incoming;  // whatIsAt the path, .Kestrova-previous, .Kestrova-incoming
};

// One update in a fresh sandbox: the old bundle installed, a verified image of the new one (or of
// a folder without it) in the updates folder, the helper written by the app and ready to run.
class Swap {
 public:
  Swap(const std::string& tool, const std::string& failWhere, bool imageHoldsTheApp = true,
       const std::string& before = "", const std::string& inject = "",
       const Tools& base = standinTools())
      : test(toolsWith(tool, failWhere, base)), before_(before), inject_(inject) {
    for (const auto& [tree, root] :
         {std::pair(kOld, app.string()),
          std::pair(imageHoldsTheApp ? kNew : Tree{}, test.sandbox.path("image/Kestrova.app"))})
      for (const auto& [relative, contents] : tree)
        writeFile(fs::path(root) / relative, contents, fs::perms(0755));
    test.sandbox.write("image/README", "");
    fs::create_directories(Updater::updatesDir());
    EXPECT_EQ(shell(base.hdiutil, {"create", "-srcfolder", test.sandbox.path("image"), dmg}).status,
              0);
    test.host.bundle = app;
    test.host.pid = 1 << 30;  // beyond any process id: the helper does not wait
    EXPECT_EQ(Updater::swapAndRelaunch(dmg), std::nullopt);
    // Sourced by the helper's bash before the script: counts its commands, traces them, kills
    // its whole group before the one numbered KILL_AT, and runs INJECT just before BEFORE.
    test.sandbox.write("hook",
                       "unset BASH_ENV; n=0; trap 'n=$((n + 1)); echo \"$LINENO\" >> "
                       "\"$TRACE\"; [ $n = \"$KILL_AT\" ] && kill -s KILL 0; "
                       "[ \"$BASH_COMMAND\" = \"$BEFORE\" ] && eval \"$INJECT\"' DEBUG\n");
  }

  // Runs the helper in a process group of its own; killAt 0 runs it through.
  Outcome run(int killAt) {
    ChildProcess helper(
        {.argv = test.host.spawned().at(0),
         .env = {"TMPDIR=" + test.sandbox.home(), "BASH_ENV=" + test.sandbox.path("hook"),
                 "KILL_AT=" + std::to_string(killAt), "TRACE=" + test.sandbox.path("trace"),
                 "BEFORE=" + before_, "INJECT=" + inject_},
         .ownGroup = true});
    const fs::path apps = app.parent_path();
    return {helper.wait(60).value_or(-1), whatIsAt(app), whatIsAt(apps / ".Kestrova-previous"),
            whatIsAt(apps / ".Kestrova-incoming")};
  }
  // The script line of a command as the helper holds it.
  [[nodiscard]] static int lineOf(const std::string& command) {
    const std::string script = readFile(Updater::helperScriptPath());
    const auto at = script.find(command);
    return at == std::string::npos
               ? 0
               : 1 + static_cast<int>(std::ranges::count(script.substr(0, at), '\n'));
  }
  // Who opened the bundle afterwards ("old\n", "new\n"); once something is expected, waited for.
  [[nodiscard]] std::string opened(bool expected) const {
    (void)(expected && eventually([&] { return test.sandbox.read("opened").ends_with('\n'); }));
    return test.sandbox.read("opened");
  }

  Sandbox wrappers;
  TestPlatform test;
  ScopedEnv home{"HOME", test.sandbox.home()};
  fs::path app = test.sandbox.path("Applications/Kestrova.app");
  std::string dmg = Updater::imagePath("1.1.0");

 private:
  std::string before_, inject_;
  Tools toolsWith(const std::string& tool, const std::string& failWhere, Tools tools) {
    for (std::string* slot : {&tools.hdiutil, &tools.ditto, &tools.open})
      if (slot->ends_with("/" + tool))
        *slot = wrappers.write("Disk's Tools/" + tool, failing(tool, failWhere, *slot),
                               fs::perms(0755));
    return tools;
  }
};

// Killed before each command of a swap and of a failed copy: the line it died before decides
// what is at the path.
TEST(UpdateFaults, AKillBeforeAnyCommandLeavesABundleWholeAtItsPath) {
  for (const bool copyFails : {false, true}) {
    const std::string failWhere = copyFails ? "1" : "";
    int moveAside = 0, rename = 0, copy = 0, sync = 0;
    const auto steps = [&] {
      Swap swap("ditto", failWhere);
      (void)swap.run(0);
      moveAside = Swap::lineOf(kMoveAside), rename = Swap::lineOf(kRename);
      copy = Swap::lineOf("\"$M/Kestrova.app\" \"$NEW\""), sync = Swap::lineOf("/bin/sync");
      std::istringstream trace(swap.test.sandbox.read("trace"));  // the line of each command run
      return std::vector<int>(std::istream_iterator<int>(trace), {});
    }();
    ASSERT_TRUE(moveAside > 0 && rename == moveAside + 1);
    // The copy reaches the disk after it is made and before the renames that put it in place.
    const auto at = [&](int line) { return std::ranges::find(steps, line) - steps.begin(); };
    EXPECT_TRUE(copyFails || (at(copy) < at(sync) && at(sync) < at(moveAside)));
    for (std::size_t k = 1; k <= steps.size(); ++k) {
      SCOPED_TRACE((copyFails ? "failed copy, killed before line " : "killed before line ") +
                   std::to_string(steps[k - 1]));
      Swap swap("ditto", failWhere);
      const Outcome outcome = swap.run(static_cast<int>(k));
      EXPECT_EQ(outcome.exitStatus, 128 + 9);
      if (copyFails || steps[k - 1] <= moveAside) {
        EXPECT_EQ(outcome.app, "old");
      } else if (steps[k - 1] == rename) {
        EXPECT_EQ(outcome.backup + "+" + outcome.incoming, "old+new");
      } else {
        EXPECT_EQ(outcome.app, "new");
      }
    }
  }
}

// One row per way the helper recovers when a tool fails; the failing tool lies in a folder whose
// name the script must quote.
TEST(UpdateFaults, EachFailureLeavesTheBundleWholeAtItsPathAndOpensWhatIsThere) {
  struct Row {
    std::string tool, test;
    bool imageHoldsTheApp;
    int exitStatus;
    const char *app, *opened;
    bool imageKept;
    std::string before = "", inject = "";  // an obstacle put in the way of one command
    const char* backup = "missing";
  };
  const std::vector<Row> rows = {
      {"hdiutil", "\"$1\" = attach", true, 1, "old", "old\n", true},
      // A folder in the way of the move aside: the bundle stays, the obstacle too.
      {"", "", true, 1, "old", "old\n", true, kMoveAside, "mkdir -p \"$BAK/Kestrova.app/x\"",
       "partial"},
      // A file in the way of the second rename: the bundle moved aside is put back.
      {"", "", true, 1, "old", "old\n", true, kRename, ": > \"$APP\""},
      {"ditto", "1", true, 0, "old", "old\n", false},
      {"", "", false, 0, "old", "old\n", false},  // an image without the app: its copy fails
      // A swap otherwise untroubled, from the arguments the app gives the helper.
      {"hdiutil", "\"$1\" = detach", true, 0, "new", "new\n", false},
      {"open", "1", true, 1, "new", "", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.tool + " failing where " + row.test + row.inject);
    Swap swap(row.tool, row.test, row.imageHoldsTheApp, row.before, row.inject, helperTools());
    const Outcome outcome = swap.run(0);
    const std::string log = readFile(Updater::helperLogPath());
    EXPECT_EQ(outcome.exitStatus, row.exitStatus) << log;
    EXPECT_EQ(outcome.app + " " + outcome.backup + " " + outcome.incoming,
              row.app + std::string(" ") + row.backup + " missing")
        << log;
    EXPECT_EQ(swap.opened(*row.opened != '\0'), row.opened);
    EXPECT_EQ(fs::exists(swap.dmg), row.imageKept);
  }
}

}  // namespace
}  // namespace kestrova::testing
