#include "app/engine/shell.h"

#include "app/platform/platform.h"

namespace kestrova {

ShellResult shell(const std::string& path, const std::vector<std::string>& arguments,
                  double timeout) {
  return platform().runner().run(path, arguments, timeout);
}

}  // namespace kestrova
