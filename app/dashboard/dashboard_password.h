// Reading the dashboard password from the Keychain and showing it, with a button to copy it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/platform/command_runner.h"

namespace kestrova::DashboardPassword {

inline constexpr const char* kFailedMessage = "Could not read the password";
inline constexpr const char* kFailedText =
    "macOS did not release it from the Keychain. If you were not asked to authorise, try again "
    "and choose Allow.";

// White space and line ends removed from both ends.
[[nodiscard]] std::string trimmed(std::string_view text);

// The password from the tool's result: absent when the tool failed or printed nothing but blanks.
[[nodiscard]] std::optional<std::string> fromResult(const ShellResult& result);

// The whole command: reads the item through the security tool, shows it, and copies it to the
// pasteboard when asked. Nothing of the password is kept once this returns.
void show();

}  // namespace kestrova::DashboardPassword
