// The update helper under faults: the real script, written by the app and run by /bin/bash with
// the stand-in tools, killed (SIGKILL to its whole process group) before each command it runs and
// in the middle of the copy, and run with each tool failing in turn. What must hold afterwards:
// the bundle is at its path, whole, old or new and never a mixture of the two. The helper copies
// the new bundle beside the old one before swapping, so the one point where a kill leaves nothing
// at the path is between the two renames; there both bundles are whole beside it.
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/engine/shell.h"
#include "app/update/swap_and_relaunch.h"
#include "app/update/update_paths.h"
#include "tests/support/child_process.h"
#include "tests/support/real_processes.h"
#include "tests/support/sandbox.h"
#include "tests/support/scoped_env.h"
#include "tests/support/test_platform.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using testing::TestPlatform;
using Tree = std::map<std::string, std::string>;  // relative path -> contents

using testing::readFile;
using testing::writeFile;

// A small bundle of one version: Info.plist, the executable (which records that it was opened)
// and a few resources, so that a copy cut short is told apart from a whole one.
Tree bundleOf(const std::string& version, const std::string& mark) {
  Tree tree;
  tree["Contents/Info.plist"] =
      "<plist><dict><key>CFBundleExecutable</key><string>Kestrova</string>"
      "<key>CFBundleShortVersionString</key><string>" +
      version + "</string></dict></plist>\n";
  tree["Contents/MacOS/Kestrova"] = "#!/bin/sh\necho " + mark + " >> \"$HOME/opened.log\"\n";
  for (const char* name : {"engine/runtime/kestrova-engine", "engine/app.py", "inkslab", "icon"}) {
    tree[std::string("Contents/Resources/") + name] = std::string(name) + " of " + version + "\n";
  }
  return tree;
}

void place(const Tree& tree, const fs::path& where) {
  for (const auto& [relative, contents] : tree) {
    writeFile(where / relative, contents,
              relative.find("MacOS/") != std::string::npos ? fs::perms(0755) : fs::perms(0644));
  }
}

Tree treeAt(const fs::path& where) {
  Tree tree;
  std::error_code error;
  for (fs::recursive_directory_iterator it(where, error), end; !error && it != end;
       it.increment(error)) {
    if (it->is_regular_file()) {
      tree[fs::relative(it->path(), where).string()] = readFile(it->path());
    }
  }
  return tree;
}

const Tree kOld = bundleOf("1.0.0", "old");
const Tree kNew = bundleOf("1.1.0", "new");

// "old", "new", "missing", or "partial" for anything else found at the path.
std::string whatIsAt(const fs::path& where) {
  if (!fs::exists(where)) {
    return "missing";
  }
  const Tree found = treeAt(where);
  return found == kOld ? "old" : found == kNew ? "new" : "partial";
}

// Wrappers around the stand-in tools that fail, or cut the copy short, where a case asks; and
// the hook that kills the helper's process group before its Nth command, or runs an injected
// action before a given one. Written once.
class Hooks {
 public:
  Hooks() {
    const std::string standins = KESTROVA_STANDINS_DIR;
    wrapper(
        "hdiutil-attach-fails",
        "[ \"$1\" = attach ] && { echo 'hdiutil: attach failed - injected' >&2; exit 1; }\nexec " +
            standins + "/hdiutil \"$@\"");
    wrapper(
        "hdiutil-detach-fails",
        "[ \"$1\" = detach ] && { echo 'hdiutil: detach failed - injected' >&2; exit 1; }\nexec " +
            standins + "/hdiutil \"$@\"");
    // Copies the new Info.plist only, then fails.
    const std::string partial =
        "mkdir -p \"$2/Contents\" && cp \"$1/Contents/Info.plist\" \"$2/Contents/\"\n";
    wrapper("ditto-fails-midway", partial + "echo 'ditto: injected failure' >&2; exit 1");
    wrapper("open-fails", "echo 'open: injected failure' >&2; exit 1");
    // Sourced by the helper's bash before the script (BASH_ENV), and only by it.
    writeFile(path("kill-hook.sh"),
              "unset BASH_ENV\n"
              "kestrova_step=0\n"
              // One line: inside a trap, LINENO counts the trap's own lines too.
              "trap 'kestrova_step=$((kestrova_step + 1)); "
              "[ -n \"$KESTROVA_STEP_TRACE\" ] && printf \"%s\\t%s\\n\" \"$LINENO\" "
              "\"$BASH_COMMAND\" >> \"$KESTROVA_STEP_TRACE\"; "
              "[ \"$kestrova_step\" = \"$KESTROVA_KILL_AT_STEP\" ] && kill -s KILL 0; "
              "[ \"$BASH_COMMAND\" = \"$KESTROVA_BEFORE\" ] && eval \"$KESTROVA_INJECT\"' DEBUG\n");
  }
  Hooks(const Hooks&) = delete;
  Hooks& operator=(const Hooks&) = delete;

  [[nodiscard]] std::string path(const std::string& name) const { return dir_.path(name); }

 private:
  void wrapper(const std::string& name, const std::string& body) {
    writeFile(path(name), "#!/bin/bash\n" + body + "\n", fs::perms(0755));
  }
  testing::Sandbox dir_;
};

const Hooks& hooks() {
  static const Hooks instance;
  return instance;
}

// One command the helper ran: its script line and its text.
struct Step {
  int line;
  std::string command;
};

struct Outcome {
  int exitStatus = -1;   // -1 when killed
  std::string app;       // whatIsAt the bundle's path
  std::string backup;    // whatIsAt .Kestrova-previous
  std::string incoming;  // whatIsAt .Kestrova-incoming
};

// One update in a fresh sandbox: the old bundle installed, a verified image of the new one in
// the updates folder, the helper written by the app and ready to run.
class Swap {
 public:
  explicit Swap(const Tools& tools, bool imageHoldsTheApp = true) : test_(tools) {
    apps_ = test_.sandbox.path("Applications");
    place(kOld, apps_ / "Kestrova.app");
    const fs::path staging = test_.sandbox.path("staging");
    if (imageHoldsTheApp) {
      place(kNew, staging / "Kestrova.app");
    } else {
      writeFile(staging / "README", "no application in here");
    }
    image_ = Updater::imagePath("1.1.0");
    fs::create_directories(Updater::updatesDir());
    EXPECT_EQ(
        shell(testing::standinTools().hdiutil, {"create", "-srcfolder", staging.string(), image_})
            .status,
        0);
    test_.host.bundle = (apps_ / "Kestrova.app").string();
    test_.host.pid = goneProcess();
    EXPECT_EQ(Updater::swapAndRelaunch(image_), std::nullopt);
    call_ = test_.host.spawned().at(0);
  }

  // Runs the helper in a process group of its own and waits for it; killAt 0 runs it through.
  // With `noPrivileges` it runs without root's capabilities, so folder modes bind it.
  Outcome run(int killAt, const std::string& trace = "", bool noPrivileges = false) {
    testing::ChildProcess helper(
        {.argv = call_,
         // The helper's mount folders stay inside the sandbox.
         .env = {"TMPDIR=" + test_.sandbox.home(), "BASH_ENV=" + hooks().path("kill-hook.sh"),
                 "KESTROVA_KILL_AT_STEP=" + std::to_string(killAt), "KESTROVA_STEP_TRACE=" + trace,
                 "KESTROVA_BEFORE=" + before_, "KESTROVA_INJECT=" + inject_},
         .ownGroup = true,
         .inChild = [noPrivileges] {
           for (unsigned long cap = 0; noPrivileges && cap < 64; ++cap) {
             ::prctl(PR_CAPBSET_DROP, cap, 0UL, 0UL, 0UL);
           }
         }});
    const int status = helper.wait(60).value_or(-1);
    return Outcome{status >= 128 ? -1 : status, whatIsAt(apps_ / "Kestrova.app"),
                   whatIsAt(apps_ / ".Kestrova-previous"), whatIsAt(apps_ / ".Kestrova-incoming")};
  }

  // Runs `action` in the helper's shell just before it runs `command` (as written in the script).
  void injectBefore(std::string command, std::string action) {
    before_ = std::move(command);
    inject_ = std::move(action);
  }

  // The commands of one run through, in order.
  std::vector<Step> steps() {
    const auto trace = test_.sandbox.path("steps.trace");
    (void)run(0, trace);
    std::vector<Step> steps;
    std::istringstream lines(readFile(trace));
    std::string line;
    while (std::getline(lines, line)) {
      const auto tab = line.find('\t');
      steps.push_back({std::stoi(line.substr(0, tab)), line.substr(tab + 1)});
    }
    return steps;
  }

  // Whoever opened the bundle afterwards ("old\n", "new\n"), once the opened program has had
  // its moment; empty when nothing was opened.
  [[nodiscard]] std::string opened(bool expectSomething) const {
    if (expectSomething) {
      // The shell creates the file before the line is in it: wait for a whole line.
      (void)testing::eventually([&] { return readFile(openedLog()).ends_with('\n'); });
    }
    return readFile(openedLog());
  }
  // In the sandbox home, which stays writable when a case makes the Applications folder read-only.
  [[nodiscard]] fs::path openedLog() const { return test_.sandbox.path("opened.log"); }
  [[nodiscard]] bool imageKept() const { return fs::exists(image_); }
  [[nodiscard]] std::string log() const { return readFile(Updater::helperLogPath()); }
  [[nodiscard]] const fs::path& apps() const { return apps_; }

 private:
  // A process identifier that has just ended, so that the helper does not wait.
  static int goneProcess() {
    testing::ChildProcess gone([] {});
    (void)gone.wait();
    return gone.pid();
  }

  TestPlatform test_;
  testing::ScopedEnv home_{"HOME", test_.sandbox.home()};
  fs::path apps_;
  std::string image_;
  std::vector<std::string> call_;
  std::string before_;
  std::string inject_;
};

class UpdateFaults : public ::testing::Test {
 protected:
  static Tools tools() { return testing::standinTools(); }
};

std::unique_ptr<Swap> freshSwap(const Tools& tools, bool imageHoldsTheApp = true) {
  return std::make_unique<Swap>(tools, imageHoldsTheApp);
}

TEST_F(UpdateFaults, AKillBeforeAnyCommandOfASwapLeavesABundleWholeAtItsPath) {
  const auto steps = freshSwap(tools())->steps();
  ASSERT_GE(steps.size(), 12u);
  for (std::size_t k = 1; k <= steps.size(); ++k) {
    const Step& step = steps[k - 1];
    SCOPED_TRACE("killed before line " + std::to_string(step.line) + ": " + step.command);
    const auto outcome = freshSwap(tools())->run(static_cast<int>(k));
    EXPECT_EQ(outcome.exitStatus, -1);
    if (step.line <= 18) {
      EXPECT_EQ(outcome.app, "old");  // not yet moved aside
    } else if (step.line == 19) {
      // Between the two renames: both bundles whole beside the path.
      EXPECT_EQ(outcome.backup, "old");
      EXPECT_EQ(outcome.incoming, "new");
    } else {
      EXPECT_EQ(outcome.app, "new");
    }
  }
}

TEST_F(UpdateFaults, AKillBeforeAnyCommandOfAFailedCopyLeavesTheOldBundleInPlace) {
  Tools failing = tools();
  failing.ditto = hooks().path("ditto-fails-midway");
  const auto steps = freshSwap(failing)->steps();
  ASSERT_GE(steps.size(), 12u);
  for (std::size_t k = 1; k <= steps.size(); ++k) {
    const Step& step = steps[k - 1];
    SCOPED_TRACE("killed before line " + std::to_string(step.line) + ": " + step.command);
    const auto outcome = freshSwap(failing)->run(static_cast<int>(k));
    EXPECT_EQ(outcome.app, "old");
  }
}

struct ToolFailure {
  const char* name;
  std::string Tools::*tool;  // null: the situation is prepared instead
  const char* wrapper;
  int exitStatus;
  const char* app;
  const char* opened;
  bool imageKept;
  void (*prepare)(Swap&) = nullptr;  // the situation, when no tool fails
};

// Once the app has quit nobody is at the Mac: whatever fails, the installed bundle is whole at
// its path afterwards and has been opened again, so that the agent and the engine come back.
TEST_F(UpdateFaults, EachToolFailingLeavesTheBundleWholeAtItsPathAndReopened) {
  const std::vector<ToolFailure> cases = {
      {"hdiutil attach", &Tools::hdiutil, "hdiutil-attach-fails", 1, "old", "old\n", true},
      {"folder not writable", nullptr, "", 0, "old", "old\n", false,
       [](Swap& s) { fs::permissions(s.apps(), fs::perms(0555)); }},
      {"moving the bundle aside", nullptr, "", 1, "old", "old\n", true,
       [](Swap& s) {  // another user's bundle in a shared folder cannot be moved
         fs::permissions(s.apps(), fs::perms(01777));
         ASSERT_EQ(::chown(s.apps().c_str(), 4242, 4242), 0);
         ASSERT_EQ(::chown((s.apps() / "Kestrova.app").c_str(), 4242, 4242), 0);
       }},
      {"second rename", nullptr, "", 1, "old", "old\n", true,
       [](Swap& s) { s.injectBefore("/bin/mv \"$NEW\" \"$APP\"", ": > \"$APP\""); }},
      {"ditto copy", &Tools::ditto, "ditto-fails-midway", 0, "old", "old\n", false},
      {"hdiutil detach", &Tools::hdiutil, "hdiutil-detach-fails", 0, "new", "new\n", false},
      {"open", &Tools::open, "open-fails", 1, "new", "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Tools failing = tools();
    if (c.tool != nullptr) failing.*(c.tool) = hooks().path(c.wrapper);
    auto swap = freshSwap(failing);
    if (c.prepare != nullptr) c.prepare(*swap);
    const auto outcome = swap->run(0, "", c.tool == nullptr);
    fs::permissions(swap->apps(), fs::perms(0755));
    EXPECT_EQ(outcome.exitStatus, c.exitStatus) << swap->log();
    EXPECT_EQ(outcome.app, c.app) << swap->log();
    EXPECT_EQ(outcome.backup, "missing");
    EXPECT_EQ(outcome.incoming, "missing");
    EXPECT_EQ(swap->opened(!std::string(c.opened).empty()), c.opened);
    EXPECT_EQ(swap->imageKept(), c.imageKept);
  }
}

}  // namespace
}  // namespace kestrova
