#include "app/update/placement.h"

#include <optional>
#include <string>

#include "app/platform/platform.h"

namespace kestrova::Updater {

bool runningFromApplications() {
  const Host& host = platform().host();
  // Only the exact text "1" opens the door; "true" or "yes" are deliberately not enough.
  if (host.environment("KESTROVA_ALLOW_ANYWHERE") == std::optional<std::string>("1")) {
    return true;
  }
  return host.bundlePath().starts_with("/Applications/");
}

}  // namespace kestrova::Updater
