#include "tests/support/sandbox.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace kestrova::testing {

Sandbox::Sandbox() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kestrova-home-XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) {
    throw std::runtime_error("cannot create a sandbox home");
  }
  home_ = buffer.data();
}

Sandbox::~Sandbox() {
  std::error_code ignored;
  std::filesystem::remove_all(home_, ignored);
}

std::string Sandbox::path(const std::string& relative) const { return home_ + "/" + relative; }

std::string Sandbox::write(const std::string& relative, const std::string& contents) const {
  const std::filesystem::path target = path(relative);
  std::filesystem::create_directories(target.parent_path());
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  out << contents;
  return target.string();
}

std::string Sandbox::read(const std::string& relative) const {
  std::ifstream in(path(relative), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Sandbox::exists(const std::string& relative) const {
  return std::filesystem::exists(path(relative));
}

}  // namespace kestrova::testing
