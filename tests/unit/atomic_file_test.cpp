// Every file the app hands to launchd or the user is replaced atomically: never a torn file, a
// stray temporary or a mode the umask decided.
#include "app/platform/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/support/sandbox.h"

namespace kestrova::testing {
namespace {

TEST(AtomicFile, ReplacesTheFileWithExactlyTheGivenModeAndLeavesNothingElse) {
  Sandbox sandbox;
  const std::string path = sandbox.write("dir/file.sh", "old contents that are longer");
  const mode_t previous = ::umask(0);
  const auto failed = writeFileAtomically(path, "new", 0750);
  ::umask(previous);
  ASSERT_EQ(failed, std::nullopt);
  EXPECT_EQ(readFile(path), "new");
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0750U);
  EXPECT_EQ(entriesIn(sandbox.path("dir")), 1U);
}

TEST(AtomicFile, AFailureIsReportedAndLeavesNoTemporary) {
  Sandbox sandbox;
  const auto missing = writeFileAtomically(sandbox.path("absent/file.txt"), "x");
  EXPECT_NE(missing.value_or("").find("No such file"), std::string::npos);
  EXPECT_FALSE(sandbox.exists("absent"));
  sandbox.write("box/target/keep", "kept");
  EXPECT_TRUE(writeFileAtomically(sandbox.path("box/target"), "x").has_value());
  EXPECT_EQ(entriesIn(sandbox.path("box")), 1U);
  EXPECT_EQ(sandbox.read("box/target/keep"), "kept");
}

}  // namespace
}  // namespace kestrova::testing
