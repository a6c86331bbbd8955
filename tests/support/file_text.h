// Whole-file reads and writes by absolute path, for tests that look at files outside the sandbox
// home's relative layout (downloads, bundles, rendered images).
#pragma once

#include <filesystem>
#include <string>

namespace kestrova::testing {

// The file's bytes, or "" when it cannot be read.
[[nodiscard]] std::string readFile(const std::filesystem::path& path);

// Replaces the file with `text` (creating its folders) and gives it `mode`.
void writeFile(const std::filesystem::path& path, const std::string& text,
               std::filesystem::perms mode = std::filesystem::perms(0644));

}  // namespace kestrova::testing
