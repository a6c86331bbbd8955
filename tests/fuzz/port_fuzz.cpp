// Any bytes in config.json give a usable port and a well-formed dashboard address.
#include "app/engine/paths.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/support/test_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static auto* test = new kestrova::testing::TestPlatform();  // lives for the whole run
  test->sandbox.write("Library/Application Support/Kestrova/config.json",
                      std::string(reinterpret_cast<const char*>(data), size));
  const std::int64_t port = kestrova::Paths::port();
  kestrova::fuzzing::require(port >= 1 && port <= 65535);
  kestrova::fuzzing::require(kestrova::Paths::dashboardURL() ==
                             "http://127.0.0.1:" + std::to_string(port) + "/");
  return 0;
}
