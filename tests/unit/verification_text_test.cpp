// How codesign's and spctl's output is read for the update checks.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/update/gatekeeper_detail.h"
#include "app/update/team_id.h"

namespace kestrova::Updater {
namespace {

struct TeamCase {
  int status;
  const char* output;
  std::optional<std::string> team;
};

class TeamIdentifier : public ::testing::TestWithParam<TeamCase> {};

TEST_P(TeamIdentifier, IsReadFromTheFirstTeamLine) {
  const auto& c = GetParam();
  EXPECT_EQ(teamIDFromCodesign(ShellResult{c.status, c.output}), c.team) << c.output;
}

INSTANTIATE_TEST_SUITE_P(
    Table, TeamIdentifier,
    ::testing::Values(
        TeamCase{0, "Executable=/A/B\nIdentifier=x\nTeamIdentifier=AB12CD34EF\nSealed\n",
                 "AB12CD34EF"},
        TeamCase{0, "\n\nTeamIdentifier=FIRST\nTeamIdentifier=SECOND", "FIRST"},
        TeamCase{0, "TeamIdentifier=not set\n", std::nullopt},
        TeamCase{0, "Identifier=x\nSignature=adhoc\n", std::nullopt},
        TeamCase{0, "  TeamIdentifier=INDENTED\n", std::nullopt},
        TeamCase{0, "TeamIdentifier= padded \n", " padded "},  // not trimmed
        TeamCase{0, "TeamIdentifier=TeamIdentifier=X", "X"},   // every occurrence removed
        TeamCase{0, "TeamIdentifier=", ""},
        // A failing codesign is read only when it still names a team identifier.
        TeamCase{1, "x: code object is not signed at all\n", std::nullopt},
        TeamCase{1, "warning\nTeamIdentifier=ZZ99\n", "ZZ99"},
        TeamCase{-1, "launch failed: No such file or directory", std::nullopt}));

TEST(GatekeeperDetail, NamesTheStatusAndTheTrimmedOutput) {
  EXPECT_EQ(gatekeeperDetail(ShellResult{3, "\n  /u/K.dmg: rejected\nsource=no usable signature\n\n"}),
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
