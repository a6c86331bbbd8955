// PosixHost: the bundle rule, Info.plist and resources, file checks, home, detached programs.
#include "app/platform/posix_host.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "app/engine/shell.h"
#include "tests/support/real_processes.h"
#include "tests/support/sandbox.h"
#include "tests/support/scoped_env.h"
#include "tests/support/system_view.h"
#include "tests/support/test_platform.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;

TEST(PosixHost, TheBundleIsTheAppAboveContentsMacOSElseTheProgramsFolder) {
  for (const auto& [executable, bundle] : std::vector<std::pair<std::string, std::string>>{
           {"/home/me/build/Kestrova.app/Contents/MacOS/Kestrova", "/home/me/build/Kestrova.app"},
           {"/x/Contents/MacOS/Kestrova", "/x/Contents/MacOS"},  // no ".app" above it
           {"/a/B.app/Contents/MacOS/tools/helper", "/a/B.app/Contents/MacOS/tools"}}) {
    EXPECT_EQ(bundlePathForExecutable(executable), bundle) << executable;
  }
}

TEST(PosixHost, ReadsTheTopDictionarysStringsOnceAndWhichFilesCanRun) {
  testing::Sandbox sandbox;
  sandbox.write("K.app/Contents/Info.plist", R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
  <key>CFBundleName</key> <!-- a comment between entries -->
  <string>Kestrova &amp; Co</string>
  <key>Empty</key><string></string><key>Count</key><integer>3</integer>
  <key>Nested</key><dict><key>Inner</key><string>deep</string></dict>
  <key>AfterNested</key><string>still read</string>
</dict></plist>)");
  const PosixHost host(sandbox.path("K.app"));
  // Read once: a bundle replaced under the running program does not change what it reports.
  sandbox.write("K.app/Contents/Info.plist", "<plist><dict></dict></plist>");
  const std::vector<std::pair<std::string, std::optional<std::string>>> keys{
      {"CFBundleName", "Kestrova & Co"}, {"Empty", ""},           {"AfterNested", "still read"},
      {"Count", std::nullopt},           {"Inner", std::nullopt}, {"Missing", std::nullopt}};
  for (const auto& [key, value] : keys) EXPECT_EQ(host.infoString(key), value) << key;
  sandbox.write("Broken.app/Contents/Info.plist", "<plist><dict><key>CFBundleName</key><string>x");
  EXPECT_EQ(PosixHost(sandbox.path("Broken.app")).infoString("CFBundleName"), std::nullopt);
  EXPECT_EQ(host.resourcesPath(), std::nullopt);
  sandbox.write("K.app/Contents/Resources/engine/x", "");
  EXPECT_EQ(PosixHost(sandbox.path("K.app")).resourcesPath(),
            sandbox.path("K.app/Contents/Resources"));

  const std::string tool = sandbox.write("tool", "#!/bin/sh\n", fs::perms(0755));
  fs::create_symlink(tool, sandbox.path("link"));
  for (const auto& [path, runnable] :
       std::vector<std::pair<std::string, bool>>{{tool, true},
                                                 {"link", true},
                                                 {"K.app/Contents/Info.plist", false},
                                                 {"K.app", false},
                                                 {"missing", false}}) {
    EXPECT_EQ(host.isExecutableFile(sandbox.path(path)), runnable) << path;
  }
}

TEST(PosixHost, ADetachedProgramRunsInItsOwnSessionWithNothingOfOursOrSaysWhyItCannot) {
  testing::Sandbox sandbox;
  const PosixHost host(sandbox.home());
  const std::string text = sandbox.write("text", "#!/bin/sh\n", fs::perms(0644));
  EXPECT_EQ(host.spawnDetached("/nonexistent/helper", {}), "No such file or directory");
  EXPECT_EQ(host.spawnDetached(text, {"x"}), "Permission denied");
  // A descriptor of ours opened without close-on-exec, which the program must not receive.
  const int careless = ::open("/dev/null", O_RDONLY);
  // The program writes what it sees, then marks it done by renaming (so we never read it half).
  const std::string report = sandbox.path("report");
  const std::string script = "exec > \"$2.fds\"; " + std::string(testing::kListOwnDescriptors) +
                             "; exec > \"$2.tmp\";"
                             "echo \"session $(python3 -c 'import os; print(os.getsid(0))')\";"
                             "echo \"stdin $([ /dev/fd/0 -ef /dev/null ] && echo /dev/null)\";"
                             "echo \"arg $1\"; mv \"$2.tmp\" \"$2\"";
  ASSERT_EQ(host.spawnDetached("/bin/sh", {"-c", script, "sh", "two words", report}), std::nullopt);
  ASSERT_TRUE(testing::eventually([&] { return sandbox.exists("report"); }));
  ::close(careless);
  const std::string seen = sandbox.read("report");
  EXPECT_EQ(seen.find("session " + std::to_string(::getsid(0)) + "\n"), std::string::npos) << seen;
  EXPECT_NE(seen.find("stdin /dev/null\narg two words\n"), std::string::npos) << seen;
  EXPECT_EQ(sandbox.read("report.fds"), "0\n1\n2\n");  // listed before any redirection of its own
  // The program is not our child: nothing of it is left for us to reap.
  EXPECT_TRUE(::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD);
}

// What the report names as the system and the home without HOME, against the shell's own reading.
TEST(PosixHost, TheSystemsNameWithItsKernelAndTheHomeFromTheUserDatabase) {
  const testing::TestPlatform installed;  // a missing Info.plist is said in the system log
  const PosixHost host("/nonexistent/Kestrova.app");
  const auto sh = [](const std::string& script) { return shell("/bin/sh", {"-c", script}).output; };
  EXPECT_EQ(host.osVersionText(), sh(testing::osVersionCommand()));
  const testing::ScopedEnv noHome{"HOME", std::nullopt};
  EXPECT_EQ(host.homeDirectory() + "\n", sh(testing::userDatabaseHomeCommand()));
}

}  // namespace
}  // namespace kestrova
