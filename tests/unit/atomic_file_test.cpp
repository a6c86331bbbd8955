// Every file the app hands to launchd or the user is replaced atomically; these cases are the
// ones that would leave a torn file, a stray temporary or a wrong mode behind.
#include "app/platform/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/support/sandbox.h"

namespace kestrova {
namespace {

TEST(AtomicFile, ReplacesAnExistingFileWithTheGivenModeAndLeavesNothingElse) {
  testing::Sandbox sandbox;
  const std::string path = sandbox.write("dir/file.txt", "old contents that are longer");
  ASSERT_EQ(writeFileAtomically(path, "new", 0644), std::nullopt);
  EXPECT_EQ(sandbox.read("dir/file.txt"), "new");
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0644U);
  EXPECT_EQ(testing::entriesIn(sandbox.path("dir")), 1U);
}

TEST(AtomicFile, ModeIsExactEvenUnderAPermissiveUmask) {
  testing::Sandbox sandbox;
  const mode_t previous = ::umask(0);
  const auto failed = writeFileAtomically(sandbox.path("script.sh"), "#!/bin/sh\n", 0755);
  ::umask(previous);
  ASSERT_EQ(failed, std::nullopt);
  struct stat info {};
  ASSERT_EQ(::stat(sandbox.path("script.sh").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0755U);
}

TEST(AtomicFile, MissingFolderIsReportedAndTheTargetUntouched) {
  testing::Sandbox sandbox;
  const auto failed = writeFileAtomically(sandbox.path("absent/file.txt"), "x");
  ASSERT_TRUE(failed.has_value());
  EXPECT_NE(failed->find("No such file"), std::string::npos) << *failed;
  EXPECT_FALSE(sandbox.exists("absent"));
}

TEST(AtomicFile, FolderInPlaceOfTheTargetIsReportedWithoutAStrayTemporary) {
  testing::Sandbox sandbox;
  std::filesystem::create_directories(sandbox.path("box/target"));
  sandbox.write("box/target/keep", "kept");
  EXPECT_TRUE(writeFileAtomically(sandbox.path("box/target"), "x").has_value());
  EXPECT_EQ(testing::entriesIn(sandbox.path("box")), 1U);
  EXPECT_EQ(sandbox.read("box/target/keep"), "kept");
}

}  // namespace
}  // namespace kestrova
