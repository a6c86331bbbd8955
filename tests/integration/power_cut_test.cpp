// A power cut in the middle of a write must leave the old file or the new one, whole, at the
// target path. A SIGKILL at a random moment stands in for the cut: the writer gets no chance to
// clean up, exactly as when the power goes.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "app/platform/atomic_file.h"
#include "tests/support/child_process.h"
#include "tests/support/sandbox.h"

namespace kestrova::testing {
namespace {

// Both writers: the app's own (agent property list, report, helper script), alternating a small
// and a large version of one file, and inkslab replacing a card by an old or a new one.
TEST(PowerCut, AnAtomicWriteOrAnInkslabCardLeavesTheOldOrTheNewFileWhole) {
  Sandbox sandbox;
  const std::string small = "<plist>agent</plist>\n";
  const std::string large(3 << 20, 'r');
  const std::string target = sandbox.write("agent.plist", small);
  const auto writeAgent = [&] {
    for (int i = 0;; ++i) (void)writeFileAtomically(target, i % 2 == 0 ? large : small);
  };
  const auto card = [&](int cut) {
    return ChildSpec{.argv = {KESTROVA_ENGINE_RUNTIME_DIR "/inkslab", sandbox.path("card.png"),
                              "1920", "1080", "203040", cut % 4 == 1 ? "New card" : "Old card",
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
  for (int cut = 0; cut < 60; ++cut) {
    ChildProcess writer = cut % 2 == 0 ? ChildProcess(writeAgent) : ChildProcess(card(cut));
    ASSERT_TRUE(writer.started()) << writer.error();
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    (void)writer.stop(SIGKILL);
    const std::string now = sandbox.read("agent.plist");
    ASSERT_TRUE(now == small || now == large) << "torn file of " << now.size() << " bytes";
    ASSERT_TRUE(whole()) << "torn card at cut " << cut;
  }
}

}  // namespace
}  // namespace kestrova::testing
