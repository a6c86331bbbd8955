// A temporary home folder for one test, removed with everything in it afterwards, and whole-file
// reads and writes for files anywhere (downloads, bundles, rendered images).
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace kestrova::testing {

// The file's bytes, or "" when it cannot be read.
[[nodiscard]] std::string readFile(const std::filesystem::path& path);
// Replaces the file with `text` (creating its folders) and gives it `mode` (`unknown` leaves the
// mode as it is); returns its path.
std::string writeFile(const std::filesystem::path& path, const std::string& text,
                      std::filesystem::perms mode = std::filesystem::perms(0644));
// How many entries a folder holds (0 when it cannot be read).
[[nodiscard]] std::size_t entriesIn(const std::filesystem::path& folder);

class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  [[nodiscard]] const std::string& home() const { return home_; }
  // home + "/" + relative; an absolute path stays as it is.
  [[nodiscard]] std::string path(const std::string& relative) const;
  // Writes the file (creating its folders), with `mode` when given; returns its absolute path.
  std::string write(const std::string& relative, const std::string& contents,
                    std::filesystem::perms mode = std::filesystem::perms::unknown) const {
    return writeFile(path(relative), contents, mode);
  }
  [[nodiscard]] std::string read(const std::string& relative) const {
    return readFile(path(relative));
  }
  [[nodiscard]] bool exists(const std::string& relative) const {
    return std::filesystem::exists(path(relative));
  }

 private:
  std::string home_;
};

}  // namespace kestrova::testing
