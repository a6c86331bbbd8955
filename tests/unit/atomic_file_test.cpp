// Every file the app hands to launchd or the user is replaced atomically: never a torn file, a
// stray temporary or a mode the umask decided.
#include "app/platform/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/support/sandbox.h"

namespace kestrova::testing {
namespace {

// A failure (here a folder in the way) is reported by the agent's refusal test.
TEST(AtomicFile, ReplacesWithExactlyTheGivenModeAndLeavesNoTemporaryEvenWhenItFails) {
  Sandbox sandbox;
  const std::string path = sandbox.write("dir/file.sh", "old contents that are longer");
  sandbox.write("dir/target/keep", "kept");
  const mode_t previous = ::umask(0);
  EXPECT_EQ(writeFileAtomically(path, "new", 0750), std::nullopt);
  ::umask(previous);
  EXPECT_TRUE(writeFileAtomically(sandbox.path("dir/target"), "x").has_value());
  EXPECT_EQ(readFile(path), "new");
  EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0750));
  EXPECT_EQ(entriesIn(sandbox.path("dir")), 2U);
}

}  // namespace
}  // namespace kestrova::testing
