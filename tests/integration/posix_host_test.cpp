// PosixHost: the bundle rule, Info.plist and resources, file checks, home, detached programs.
#include "app/platform/posix_host.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "tests/support/real_processes.h"
#include "tests/support/sandbox.h"
#include "tests/support/scoped_env.h"

namespace kestrova {
namespace {

using testing::Sandbox;

TEST(BundlePath, IsTheAppFolderForAProgramInContentsMacOSElseTheProgramsFolder) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {"/Applications/Kestrova.app/Contents/MacOS/Kestrova", "/Applications/Kestrova.app"},
      {"/home/me/build/Kestrova.app/Contents/MacOS/Kestrova", "/home/me/build/Kestrova.app"},
      {"/x/Contents/MacOS/Kestrova", "/x/Contents/MacOS"},  // no ".app" above it
      {"/a/B.app/MacOS/Kestrova", "/a/B.app/MacOS"},
      {"/a/B.app/Contents/MacOS/tools/helper", "/a/B.app/Contents/MacOS/tools"},
  };
  for (const auto& [executable, bundle] : cases) {
    EXPECT_EQ(bundlePathForExecutable(executable), bundle) << executable;
  }
}

constexpr const char* kPlist = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
  <key>CFBundleShortVersionString</key><string>2.4.1</string>
  <!-- a comment between entries -->
  <key>CFBundleName</key>
  <string>Kestrova &amp; Co</string>
  <key>Empty</key><string></string>
  <key>Count</key><integer>3</integer>
  <key>Flag</key><true/>
  <key>List</key><array><string>a</string></array>
  <key>Nested</key><dict><key>Inner</key><string>deep</string></dict>
  <key>AfterNested</key><string>still read</string>
</dict>
</plist>
)";

TEST(InfoPlist, ReadsTheStringsOfTheTopDictionaryOnceOnly) {
  Sandbox sandbox;
  sandbox.write("K.app/Contents/Info.plist", kPlist);
  const PosixHost host(sandbox.path("K.app"));
  // Read once: a bundle replaced under the running program does not change what it reports.
  sandbox.write(
      "K.app/Contents/Info.plist",
      "<plist><dict><key>CFBundleShortVersionString</key><string>9.9.9</string></dict></plist>");
  const std::vector<std::pair<std::string, std::optional<std::string>>> cases{
      {"CFBundleShortVersionString", "2.4.1"},
      {"CFBundleName", "Kestrova & Co"},
      {"Empty", ""},
      {"AfterNested", "still read"},
      {"Count", std::nullopt},
      {"List", std::nullopt},
      {"Inner", std::nullopt},
      {"Missing", std::nullopt},
  };
  for (const auto& [key, value] : cases) EXPECT_EQ(host.infoString(key), value) << key;
  // A broken file, or one that is no property list, has no strings.
  sandbox.write("Broken.app/Contents/Info.plist", "<plist><dict><key>CFBundleName</key><string>x");
  sandbox.write("Other.app/Contents/Info.plist",
                "<other><dict><key>A</key><string>x</string></dict></other>");
  EXPECT_EQ(PosixHost(sandbox.path("Broken.app")).infoString("CFBundleName"), std::nullopt);
  EXPECT_EQ(PosixHost(sandbox.path("Other.app")).infoString("A"), std::nullopt);
  EXPECT_EQ(PosixHost(KESTROVA_BUNDLE_DIR).infoString("CFBundleShortVersionString"),
            KESTROVA_VERSION);
}

TEST(ResourcesPath, ExistsOnlyWhenTheBundleHasAResourcesFolder) {
  Sandbox sandbox;
  sandbox.write("With.app/Contents/Resources/engine/x", "");
  sandbox.write("Without.app/Contents/Info.plist", kPlist);
  EXPECT_EQ(PosixHost(sandbox.path("With.app")).resourcesPath(),
            sandbox.path("With.app/Contents/Resources"));
  EXPECT_EQ(PosixHost(sandbox.path("Without.app")).resourcesPath(), std::nullopt);
}

TEST(IsExecutableFile, OnlyRegularFilesWeMayRun) {
  Sandbox sandbox;
  const std::string tool = sandbox.write("tool", "#!/bin/sh\n");
  ::chmod(tool.c_str(), 0755);
  const std::string text = sandbox.write("text", "");
  ::chmod(text.c_str(), 0644);
  std::filesystem::create_directories(sandbox.path("folder"));
  std::filesystem::create_symlink(tool, sandbox.path("link"));
  const PosixHost host(sandbox.home());
  EXPECT_TRUE(host.isExecutableFile(tool));
  EXPECT_TRUE(host.isExecutableFile(sandbox.path("link")));  // a link to a tool is the tool
  EXPECT_FALSE(host.isExecutableFile(text));
  EXPECT_FALSE(host.isExecutableFile(sandbox.path("folder")));
  EXPECT_FALSE(host.isExecutableFile(sandbox.path("missing")));
}

TEST(PosixHostFacts, HomeIsTheVariableAndTheSystemNamesItsKernel) {
  const testing::ScopedEnv home{"HOME", "/tmp/some home"};
  EXPECT_EQ(PosixHost("/nowhere").homeDirectory(), "/tmp/some home");
  const std::string text = PosixHost("/nowhere").osVersionText();
  EXPECT_GT(text.find(", kernel "), 0u) << text;
  EXPECT_NE(text.find(", kernel "), std::string::npos) << text;
}

TEST(SpawnDetached, ReportsWhyAProgramCannotStart) {
  Sandbox sandbox;
  const std::string text = sandbox.write("text", "#!/bin/sh\n");
  ::chmod(text.c_str(), 0644);
  const PosixHost host(sandbox.home());
  EXPECT_EQ(host.spawnDetached("/nonexistent/helper", {}), "No such file or directory");
  EXPECT_EQ(host.spawnDetached(text, {"x"}), "Permission denied");
  EXPECT_EQ(host.spawnDetached(sandbox.home(), {}), "Permission denied");
  EXPECT_TRUE(::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD);
}

TEST(SpawnDetached, RunsTheProgramInItsOwnSessionWithNothingOfOursAttached) {
  Sandbox sandbox;
  const PosixHost host(sandbox.home());
  const std::string report = sandbox.path("report");
  // A descriptor of ours opened without close-on-exec, which the program must not receive.
  const int careless = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(careless, 0);
  // The program writes what it sees, then marks it done by renaming (so we never read it half).
  const std::string script =
      "exec > \"$2.fds\"; ls /proc/$$/fd; exec > \"$2.tmp\";"
      "echo \"session $(ps -o sid= -p $$ | tr -d ' ')\"; echo \"stdin $(readlink /proc/$$/fd/0)\";"
      "echo \"arg $1\"; mv \"$2.tmp\" \"$2\"";
  ASSERT_EQ(host.spawnDetached("/bin/sh", {"-c", script, "sh", "two words", report}), std::nullopt);
  // Only a real process can tell: wait for its report (bounded).
  ASSERT_TRUE(testing::eventually([&] { return sandbox.exists("report"); }));
  const std::string seen = sandbox.read("report");
  EXPECT_EQ(seen.find("session " + std::to_string(::getsid(0)) + "\n"), std::string::npos) << seen;
  EXPECT_NE(seen.find("stdin /dev/null\n"), std::string::npos) << seen;
  EXPECT_EQ(sandbox.read("report.fds"), "0\n1\n2\n");  // listed before any redirection of its own
  EXPECT_NE(seen.find("arg two words\n"), std::string::npos) << seen;
  ::close(careless);
  // The program is not our child: nothing of it is left for us to reap.
  EXPECT_TRUE(::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD);
}

}  // namespace
}  // namespace kestrova
