#include "app/update/gatekeeper_detail.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrova::Updater {
namespace {

TEST(GatekeeperDetail, NamesTheStatusAndTheTrimmedOutput) {
  EXPECT_EQ(
      gatekeeperDetail(ShellResult{3, "\n  /u/K.dmg: rejected\nsource=no usable signature\n\n"}),
      "(spctl rc=3: /u/K.dmg: rejected\nsource=no usable signature)");
  EXPECT_EQ(gatekeeperDetail(ShellResult{0, ""}), "(spctl rc=0: )");
  EXPECT_EQ(gatekeeperDetail(ShellResult{-1, "launch failed: Permission denied"}),
            "(spctl rc=-1: launch failed: Permission denied)");
}

TEST(GatekeeperDetail, KeepsTheFirst120Characters) {
  const std::string ascii(119, 'a');
  EXPECT_EQ(gatekeeperDetail(ShellResult{0, "\t" + ascii + "bc\n"}),
            "(spctl rc=0: " + ascii + "b)");
  // Characters, not bytes: a two-byte letter counts once and is never split.
  std::string accented;
  for (int i = 0; i < 130; ++i) accented += "\xC3\xA9";
  std::string expected;
  for (int i = 0; i < 120; ++i) expected += "\xC3\xA9";
  EXPECT_EQ(gatekeeperDetail(ShellResult{1, accented}), "(spctl rc=1: " + expected + ")");
}

}  // namespace
}  // namespace kestrova::Updater
