// A temporary home folder for one test, removed with everything in it afterwards.
#pragma once

#include <string>

namespace kestrova::testing {

class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  [[nodiscard]] const std::string& home() const { return home_; }
  // home + "/" + relative
  [[nodiscard]] std::string path(const std::string& relative) const;
  // Writes the file (creating its folders) and returns its absolute path.
  std::string write(const std::string& relative, const std::string& contents) const;
  [[nodiscard]] std::string read(const std::string& relative) const;
  [[nodiscard]] bool exists(const std::string& relative) const;

 private:
  std::string home_;
};

}  // namespace kestrova::testing
