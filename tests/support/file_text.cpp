#include "tests/support/file_text.h"

#include <fstream>
#include <sstream>

namespace kestrova::testing {

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const std::filesystem::path& path, const std::string& text,
               std::filesystem::perms mode) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
  std::filesystem::permissions(path, mode);
}

}  // namespace kestrova::testing
