#include "tests/support/sandbox.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace kestrova::testing {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
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
  std::size_t count = 0;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    ++count;
  }
  return count;
}

Sandbox::Sandbox() {
  std::string pattern = (fs::temp_directory_path() / "kestrova-home-XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) {
    throw std::runtime_error("cannot create a sandbox home");
  }
  home_ = buffer.data();
}

Sandbox::~Sandbox() {
  std::error_code ignored;
  fs::remove_all(home_, ignored);
}

std::string Sandbox::path(const std::string& relative) const {
  return (fs::path(home_) / relative).string();
}

std::string Sandbox::write(const std::string& relative, const std::string& contents,
                           fs::perms mode) const {
  return writeFile(path(relative), contents, mode);
}

std::string Sandbox::read(const std::string& relative) const { return readFile(path(relative)); }

bool Sandbox::exists(const std::string& relative) const { return fs::exists(path(relative)); }

}  // namespace kestrova::testing
