#include "tests/support/sandbox.h"

#include <unistd.h>  // mkdtemp, on the Mac

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kestrova::testing {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

std::string writeFile(const fs::path& path, const std::string& text, fs::perms mode) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
  if (mode != fs::perms::unknown) fs::permissions(path, mode);
  return path.string();
}

std::size_t entriesIn(const fs::path& folder) {
  std::error_code error;
  const fs::directory_iterator entries(folder, error);
  return error ? 0 : static_cast<std::size_t>(std::distance(entries, fs::directory_iterator()));
}

Sandbox::Sandbox() {
  home_ = (fs::temp_directory_path() / "kestrova-home-XXXXXX").string();
  if (mkdtemp(home_.data()) == nullptr) throw std::runtime_error("cannot create a sandbox home");
  // Resolved, as the system reports the paths of running programs: a Mac's temporary folder
  // lies below /var, a link to /private/var.
  home_ = fs::canonical(home_).string();
}

Sandbox::~Sandbox() {
  std::error_code ignored;
  fs::remove_all(home_, ignored);
}

std::string Sandbox::path(const std::string& relative) const {
  return (fs::path(home_) / relative).string();
}

}  // namespace kestrova::testing
