// The platform the publisher runs the app's update code on, and a scratch folder it cleans up.
#pragma once

#include <functional>
#include <sstream>
#include <string>

#include "app/platform/curl_http.h"
#include "app/platform/platform.h"
#include "app/platform/posix_command_runner.h"
#include "app/platform/posix_host.h"
#include "frontends/console/console_loop.h"
#include "frontends/console/console_ui.h"

namespace kestrova::release {

// Real HTTP and commands, the host facts of `bundle` (as if that copy were running), the given
// tools and a loop on the calling thread; installed for the object's lifetime.
class ToolPlatform {
 public:
  ToolPlatform(const std::string& bundle, Tools tools);
  ToolPlatform(const ToolPlatform&) = delete;
  ToolPlatform& operator=(const ToolPlatform&) = delete;

  // Calls `start` on the loop and runs the loop until the continuation `start` was given runs.
  void runUntilDone(const std::function<void(std::function<void()> finished)>& start);

 private:
  console::ConsoleLoop loop_;
  std::ostringstream shown_;  // the update code raises no alert; anything shown stays here
  console::ConsoleUi ui_{loop_, shown_};
  PosixHost host_;
  PosixCommandRunner runner_;
  CurlHttp http_;
  Platform platform_;
  ScopedPlatform installed_;
};

// A fresh folder under the system's temporary folder, removed with its contents at the end.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // Empty when the folder could not be made.
  [[nodiscard]] const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace kestrova::release
