// kestrova-release: publishes a release of the built bundle, or checks a published one.
#include <iostream>
#include <string>
#include <variant>
#include <vector>

#include "tools/release/publish.h"
#include "tools/release/release_options.h"
#include "tools/release/verify_release.h"

int main(int argc, char** argv) {
  using namespace kestrova::release;
  const std::vector<std::string> args(argv + 1, argv + argc);
  const auto parsed = parseOptions(args, KESTROVA_BUILT_BUNDLE);
  if (const auto* error = std::get_if<std::string>(&parsed)) {
    std::cerr << "kestrova-release: " << *error << "\n" << kUsage;
    return 1;
  }
  const Options& options = std::get<Options>(parsed);
  const auto failure = std::holds_alternative<VerifyOptions>(options)
                           ? verifyRelease(std::get<VerifyOptions>(options), std::cout)
                           : publish(std::get<PublishOptions>(options), std::cout, std::cerr);
  if (failure) {
    std::cerr << "kestrova-release: " << *failure << "\n";
    return 1;
  }
  return 0;
}
