// A sandboxed machine for end-to-end tests: the launchctl and caffeinate stand-ins, their
// supervisor and the stand-in engine as real processes, with a copy of the built bundle below a
// temporary home. Whatever it started is ended by a power cut when it goes.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "tests/support/real_processes.h"
#include "tests/support/scoped_env.h"
#include "tests/support/system_view.h"
#include "tests/support/test_platform.h"

namespace kestrova::testing {

class StandinMachine {
 public:
  // Real sleeps and this user's id for the agent; the engine's port in config.json; the app
  // running from a copy under Apps/ with the location rule lifted.
  StandinMachine();
  ~StandinMachine();

  // A copy of the built bundle's resources (engine and stand-ins) below the sandbox; its path.
  std::string placeCopy(const std::string& folder);
  // Makes the app run from that copy.
  void useCopy(const std::string& bundle);

  [[nodiscard]] static std::string launchctl();
  [[nodiscard]] bool engineAnswers() const;
  // The engine process: the child of the caffeinate the supervisor runs.
  [[nodiscard]] std::optional<pid_t> enginePid() const;

  TestPlatform env{standinTools()};
  // The stand-ins and the engine keep their state under $HOME: every child sees the sandbox.
  ScopedEnv home{"HOME", env.sandbox.home()};
  int port = freePort();
};

}  // namespace kestrova::testing
