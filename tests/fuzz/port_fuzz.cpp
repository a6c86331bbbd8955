// Any bytes in config.json give a usable port and a well-formed dashboard address.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "app/engine/paths.h"
#include "tests/support/test_platform.h"

namespace {

kestrova::testing::TestPlatform& platformOnce() {
  static auto* installed = new kestrova::testing::TestPlatform();  // lives for the whole run
  return *installed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto& test = platformOnce();
  test.sandbox.write("Library/Application Support/Kestrova/config.json",
                     std::string(reinterpret_cast<const char*>(data), size));
  const std::int64_t port = kestrova::Paths::port();
  if (port < 1 || port > 65535) {
    std::abort();
  }
  if (kestrova::Paths::dashboardURL() != "http://127.0.0.1:" + std::to_string(port) + "/") {
    std::abort();
  }
  return 0;
}
