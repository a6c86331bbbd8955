// The seam: the one process-wide set of platform services the core reaches the world through.
#pragma once

#include "app/platform/command_runner.h"
#include "app/platform/host.h"
#include "app/platform/http.h"
#include "app/platform/main_loop.h"
#include "app/platform/tools.h"
#include "app/platform/ui.h"

namespace kestrova {

// Non-owning: the program entry (or a test) owns the services and outlives every use.
class Platform {
 public:
  Platform(MainLoop& loop, Http& http, Ui& ui, Host& host, CommandRunner& runner, Tools tools)
      : loop_(loop), http_(http), ui_(ui), host_(host), runner_(runner), tools_(std::move(tools)) {}

  [[nodiscard]] MainLoop& loop() const { return loop_; }
  [[nodiscard]] Http& http() const { return http_; }
  [[nodiscard]] Ui& ui() const { return ui_; }
  [[nodiscard]] Host& host() const { return host_; }
  [[nodiscard]] CommandRunner& runner() const { return runner_; }
  [[nodiscard]] const Tools& tools() const { return tools_; }

 private:
  MainLoop& loop_;
  Http& http_;
  Ui& ui_;
  Host& host_;
  CommandRunner& runner_;
  Tools tools_;
};

// The installed platform. Installing happens before anything else runs, so later reads from any
// thread need no lock. Calling this with nothing installed is a programming error and aborts.
[[nodiscard]] Platform& platform();

// Installs a platform for its lifetime and restores the previous one afterwards. The program
// entry holds one for the whole run; tests hold one per fixture.
class ScopedPlatform {
 public:
  explicit ScopedPlatform(Platform& installed);
  ~ScopedPlatform();
  ScopedPlatform(const ScopedPlatform&) = delete;
  ScopedPlatform& operator=(const ScopedPlatform&) = delete;

 private:
  Platform* previous_;
};

}  // namespace kestrova
