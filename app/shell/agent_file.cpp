#include "app/shell/agent_file.h"

#include <filesystem>
#include <system_error>

#include "app/engine/paths.h"

namespace kestrova {

bool agentFileExists() {
  std::error_code error;
  return std::filesystem::exists(Paths::agentPlist(), error);
}

}  // namespace kestrova
