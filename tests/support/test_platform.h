// Everything a test needs to run the core: a sandboxed home, virtual time, a scripted Ui, a fake
// host, real HTTP and real processes, installed as the platform for the test's lifetime.
#pragma once

#include <memory>
#include <string>

#include "app/platform/curl_http.h"
#include "app/platform/platform.h"
#include "app/platform/posix_command_runner.h"
#include "tests/support/fake_host.h"
#include "tests/support/sandbox.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/virtual_loop.h"

namespace kestrova::testing {

// The stand-in programs the build made (launchctl, security, spctl ...: inside the Linux bundle,
// beside the Mac one, which ships none), for tests that drive them instead of the Mac's tools.
[[nodiscard]] Tools standinTools();

// Where the app keeps the agent's file and the engine's configuration, below the home.
inline const std::string kAgentFile = "Library/LaunchAgents/com.talmiro.kestrova.engine.plist";
inline const std::string kConfigFile = "Library/Application Support/Kestrova/config.json";

class TestPlatform {
 public:
  // `runner` replaces the real command runner (a scripted one); it must outlive this object.
  explicit TestPlatform(Tools tools = Tools{}, CommandRunner* runner = nullptr);
  ~TestPlatform();

  Sandbox sandbox;
  VirtualLoop loop;
  ScriptedUi ui{loop};
  FakeHost host{sandbox.home()};
  PosixCommandRunner realRunner;
  std::unique_ptr<CurlHttp> http = std::make_unique<CurlHttp>();

  [[nodiscard]] Platform& get() { return *platform_; }

 private:
  std::unique_ptr<Platform> platform_;
  std::unique_ptr<ScopedPlatform> installed_;
};

}  // namespace kestrova::testing
