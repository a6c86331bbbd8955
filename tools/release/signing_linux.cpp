// Signing through the stand-ins a Linux build of the bundle carries; there is no notary here.
#include "app/engine/shell.h"
#include "app/platform/platform.h"
#include "app/platform/standin_tools.h"
#include "tools/release/signing.h"

namespace kestrova::release {
namespace {

std::optional<std::string> sign(const Signer& signer, const std::string& item) {
  const auto result =
      shell(platform().tools().codesign, {"-s", signer.identity.value_or("-"), "-f", item});
  if (result.status != 0) {
    return toolFailure("codesign of " + item, result.status, result.output);
  }
  return std::nullopt;
}

}  // namespace

Tools publisherTools(const std::string& bundle) {
  return standinToolsIn(bundle + "/Contents/Resources/standins");
}

std::optional<std::string> signBundle(const Signer& signer, const std::string& bundle) {
  return sign(signer, bundle);
}

std::optional<std::string> signImage(const Signer& signer, const std::string& image) {
  return sign(signer, image);
}

std::optional<std::string> notarize(const Signer& signer, const std::string&, std::ostream& notes) {
  if (signer.notaryProfile) {
    notes << "Not notarized: notarytool runs only on a Mac.\n";
  }
  return std::nullopt;
}

}  // namespace kestrova::release
