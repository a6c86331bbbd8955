// Signing with codesign (hardened runtime, secure timestamp) and notarizing with notarytool.
#include "app/engine/shell.h"
#include "app/platform/platform.h"
#include "tools/release/signing.h"

namespace kestrova::release {
namespace {

// Only the publisher notarizes; the app never runs xcrun, so it is not among the app's tools.
constexpr const char* kXcrun = "/usr/bin/xcrun";

std::optional<std::string> run(const std::string& what, const std::string& tool,
                               const std::vector<std::string>& arguments) {
  const auto result = shell(tool, arguments);
  if (result.status != 0) {
    return toolFailure(what, result.status, result.output);
  }
  return std::nullopt;
}

}  // namespace

Tools publisherTools(const std::string&) { return Tools{}; }

std::optional<std::string> signBundle(const Signer& signer, const std::string& bundle) {
  // --deep signs the engine's runtime and inkslab inside the bundle with the same identity.
  if (!signer.identity) {
    return run("codesign of " + bundle, platform().tools().codesign,
               {"--force", "--deep", "--sign", "-", bundle});
  }
  return run("codesign of " + bundle, platform().tools().codesign,
             {"--force", "--deep", "--options", "runtime", "--timestamp", "--sign",
              *signer.identity, bundle});
}

std::optional<std::string> signImage(const Signer& signer, const std::string& image) {
  if (!signer.identity) {
    return run("codesign of " + image, platform().tools().codesign,
               {"--force", "--sign", "-", image});
  }
  return run("codesign of " + image, platform().tools().codesign,
             {"--force", "--timestamp", "--sign", *signer.identity, image});
}

std::optional<std::string> notarize(const Signer& signer, const std::string& image,
                                    std::ostream& notes) {
  if (!signer.notaryProfile) {
    notes << "Not notarized: KESTROVA_NOTARY_PROFILE names no stored notarytool profile.\n";
    return std::nullopt;
  }
  if (!signer.identity) {
    return std::string("Notarization needs a Developer ID signature: set KESTROVA_SIGN_IDENTITY.");
  }
  // notarytool can end well while the service refused the image; stapling then fails, as no
  // ticket exists, so the staple is the check.
  if (auto failed = run(
          "notarytool", kXcrun,
          {"notarytool", "submit", image, "--keychain-profile", *signer.notaryProfile, "--wait"})) {
    return failed;
  }
  if (auto failed = run("stapler", kXcrun, {"stapler", "staple", image})) {
    return failed;
  }
  notes << "Notarized and stapled.\n";
  return std::nullopt;
}

}  // namespace kestrova::release
