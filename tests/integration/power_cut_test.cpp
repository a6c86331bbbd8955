// A power cut in the middle of inkslab's write must leave the old card or the new one, whole, at
// the target path. A SIGKILL at a random moment stands in for the cut: the writer gets no chance
// to clean up. (The app's own writer is proved step by step by the atomic file test: a kill
// cannot show a missing flush, since the page cache survives it.)
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "tests/support/child_process.h"
#include "tests/support/sandbox.h"

namespace kestrova::testing {
namespace {

TEST(PowerCut, AnInkslabCardLeavesTheOldOrTheNewFileWhole) {
  Sandbox sandbox;
  const auto card = [&](int cut) {
    return ChildSpec{.argv = {KESTROVA_ENGINE_RUNTIME_DIR "/inkslab", sandbox.path("card.png"),
                              "1920", "1080", "203040", cut % 2 == 1 ? "New card" : "Old card",
                              "96", "FFFFFF", "Second line", "48", "FFCC00"}};
  };
  const auto whole = [&] {
    const std::string bytes = sandbox.read("card.png");
    return bytes.starts_with("\x89PNG\r\n\x1a\n") &&
           bytes.ends_with(std::string("IEND\xae\x42\x60\x82", 8));
  };
  ASSERT_EQ(ChildProcess(card(0)).wait(), 0);
  std::mt19937 random(20261206);
  std::uniform_int_distribution<int> delay(0, 40'000);
  for (int cut = 0; cut < 30; ++cut) {
    ChildProcess writer(card(cut));
    ASSERT_TRUE(writer.started()) << writer.error();
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    (void)writer.stop(SIGKILL);
    ASSERT_TRUE(whole()) << "torn card at cut " << cut;
  }
}

}  // namespace
}  // namespace kestrova::testing
