#include "app/update/team_id.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

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

}  // namespace
}  // namespace kestrova::Updater
