// Reading a feed someone else wrote (the previous release's, or a published one) as the app does.
#pragma once

#include <string>
#include <variant>

#include "app/update/release.h"
#include "tools/release/tool_platform.h"

namespace kestrova::release {

// True for an http or https address; anything else names a file.
[[nodiscard]] bool isWebAddress(const std::string& where);

// The release the feed at `where` (a file, or a URL fetched as stations fetch it: no cache, only
// the body counts) describes by the app's reader, or the reason there is none.
[[nodiscard]] std::variant<Updater::Release, std::string> readFeed(const std::string& where,
                                                                   ToolPlatform& tool);

}  // namespace kestrova::release
