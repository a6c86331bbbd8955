#include "app/update/team_id.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kestrova::Updater {
namespace {

TEST(TeamIdentifier, IsReadFromTheFirstTeamLine) {
  const struct {
    int status;
    const char* output;
    std::optional<std::string> team;
  } cases[] = {
      {0, "Executable=/A/B\nIdentifier=x\nTeamIdentifier=AB12CD34EF\nSealed\n", "AB12CD34EF"},
      {0, "\n\nTeamIdentifier=FIRST\nTeamIdentifier=SECOND", "FIRST"},
      {0, "TeamIdentifier=not set\n", std::nullopt},
      {0, "Identifier=x\nSignature=adhoc\n", std::nullopt},
      {0, "  TeamIdentifier=INDENTED\n", std::nullopt},
      {0, "TeamIdentifier= padded \n", " padded "},  // not trimmed
      {0, "TeamIdentifier=TeamIdentifier=X", "X"},   // every occurrence removed
      {0, "TeamIdentifier=", ""},
      // A failing codesign is read only when it still names a team identifier.
      {1, "x: code object is not signed at all\n", std::nullopt},
      {1, "warning\nTeamIdentifier=ZZ99\n", "ZZ99"},
      {-1, "launch failed: No such file or directory", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(teamIDFromCodesign(ShellResult{c.status, c.output}), c.team) << c.output;
  }
}

}  // namespace
}  // namespace kestrova::Updater
