// Signing with codesign (hardened runtime, secure timestamp) and notarizing with notarytool.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "app/engine/shell.h"
#include "app/platform/platform.h"
#include "app/platform/standin_tools.h"
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

// codesign's arguments for one piece of code: ad hoc, or the identity with the hardened runtime
// and a secure timestamp, which notarization requires of every piece.
std::vector<std::string> signing(const Signer& signer, const std::string& path) {
  if (!signer.identity) return {"--force", "--sign", "-", path};
  return {"--force", "--options", "runtime", "--timestamp", "--sign", *signer.identity, path};
}

// Mach-O files, thin or universal, by their first four bytes in either byte order.
bool isMachO(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  unsigned char magic[4] = {};
  if (!in.read(reinterpret_cast<char*>(magic), sizeof magic)) return false;
  const std::uint32_t word = std::uint32_t{magic[0]} << 24 | std::uint32_t{magic[1]} << 16 |
                             std::uint32_t{magic[2]} << 8 | magic[3];
  for (const std::uint32_t known : {0xFEEDFACEu, 0xFEEDFACFu, 0xCAFEBABEu}) {
    const std::uint32_t swapped =
        (known >> 24) | ((known >> 8) & 0xFF00u) | ((known << 8) & 0xFF0000u) | (known << 24);
    if (word == known || word == swapped) return true;
  }
  return false;
}

}  // namespace

// The Mac's own tools, unless KESTROVA_STANDINS_DIR names the stand-ins beside a build: the tests
// publish with those, as no Apple identity signs in a test and Gatekeeper trusts no other.
Tools publisherTools(const std::string&) {
  const char* standins = std::getenv("KESTROVA_STANDINS_DIR");
  return standins != nullptr && *standins != '\0' ? standinToolsIn(standins) : Tools{};
}

// Inside out: codesign --deep signs only code in the bundle's code folders, and seals what lies
// under Contents/Resources (the engine's runtime, inkslab) as data, keeping the linker's ad-hoc
// signature there, which notarization refuses. So each of those is signed first, on its own.
std::optional<std::string> signBundle(const Signer& signer, const std::string& bundle) {
  std::error_code error;
  std::vector<std::string> nested;
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(bundle + "/Contents/Resources", error)) {
    if (entry.is_regular_file(error) && !entry.is_symlink(error) && isMachO(entry.path())) {
      nested.push_back(entry.path().string());
    }
  }
  if (error) return "cannot list " + bundle + "/Contents/Resources: " + error.message();
  for (const std::string& code : nested) {
    if (auto failed =
            run("codesign of " + code, platform().tools().codesign, signing(signer, code))) {
      return failed;
    }
  }
  return run("codesign of " + bundle, platform().tools().codesign, signing(signer, bundle));
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
