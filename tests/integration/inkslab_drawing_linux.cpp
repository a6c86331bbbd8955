// What inkslab's Linux drawing shows: the colour arguments are taken as sRGB values as they are.
// And, traced, the order of its writer's steps, which a kill cannot show.
#include <regex>

#include "tests/integration/inkslab_fixture.h"

namespace kestrova::testing {

std::array<int, 4> paintedPixel(std::array<int, 4> given) { return given; }

// The card reaches the disk before the rename makes it the card, and the rename after it.
TEST_F(InkslabTest, TheCardIsFlushedBeforeItsRenameAndTheRenameAfter) {
  ChildProcess traced(
      {.argv = {"strace", "-qq", "-o", sandbox.path(".trace"), "-e",
                "trace=/^(fsync|fdatasync|rename.*)$", KESTROVA_ENGINE_RUNTIME_DIR "/inkslab",
                sandbox.path("card.png"), "0", "60", "0", "H", "20", "F"},
       // The sanitizer build's leak check stops the program's threads with ptrace, which a
       // traced program cannot do.
       .env = {"ASAN_OPTIONS=detect_leaks=0"}});
  ASSERT_EQ(traced.wait(30), 0);
  EXPECT_TRUE(std::regex_match(readFile(sandbox.path(".trace")),
                               std::regex("(f|fdata)sync\\(.*\nrename.*\n(f|fdata)sync\\(.*\n")))
      << readFile(sandbox.path(".trace"));
}

}  // namespace kestrova::testing
