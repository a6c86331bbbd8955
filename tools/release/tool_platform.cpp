#include "tools/release/tool_platform.h"

#include <stdlib.h>
#include <unistd.h>  // mkdtemp, on the Mac

#include <filesystem>
#include <system_error>

namespace kestrova::release {

ToolPlatform::ToolPlatform(const std::string& bundle, Tools tools)
    : host_(bundle),
      platform_(loop_, http_, ui_, host_, runner_, std::move(tools)),
      installed_(platform_) {}

void ToolPlatform::runUntilDone(const std::function<void(std::function<void()>)>& start) {
  loop_.post([this, &start] { start([this] { loop_.quit(); }); });
  loop_.run();
}

ScratchFolder::ScratchFolder() {
  std::error_code error;
  std::string pattern =
      (std::filesystem::temp_directory_path(error) / "kestrova-release-XXXXXX").string();
  if (!error && ::mkdtemp(pattern.data()) != nullptr) {
    path_ = pattern;
  }
}

ScratchFolder::~ScratchFolder() {
  if (!path_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
}

}  // namespace kestrova::release
