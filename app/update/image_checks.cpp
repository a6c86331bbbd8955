#include "app/update/image_checks.h"

#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/platform/info_plist.h"
#include "app/platform/platform.h"
#include "app/update/gatekeeper_detail.h"
#include "app/update/product_site.h"
#include "app/update/team_id.h"
#include "app/update/update_paths.h"

namespace kestrova::Updater {
namespace {

// Far beyond what each tool takes on an honest image; a tool past its limit fails its check
// rather than holding the update for good.
constexpr double kShasumLimit = 600.0;
constexpr double kSpctlLimit = 120.0;
constexpr double kAttachLimit = 600.0;
constexpr double kDetachLimit = 60.0;

const std::string kChecksumMessage =
    "The downloaded file did not match the published checksum, so it was discarded. "
    "Try again later.";

std::string reportable(const std::string& what) {
  return what + ", so it was discarded. Please report this to " + kSupportEmail + ".";
}

// The first space-separated piece of shasum's standard output, lower-cased: the digest.
std::string digestFrom(std::string_view output) {
  const auto start = output.find_first_not_of(' ');
  if (start == std::string_view::npos) {
    return "";
  }
  output.remove_prefix(start);
  std::string digest(output.substr(0, output.find(' ')));
  for (char& c : digest) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return digest;
}

ToolOutput runTool(const std::string& path, const std::vector<std::string>& arguments,
                   double limit) {
  return platform().runner().runLimited(path, arguments, limit);
}

std::optional<std::string> checkTeam(const std::string& item,
                                     const std::optional<std::string>& mine) {
  // An unsigned or ad-hoc signed running copy has no team to compare: Gatekeeper alone decides.
  if (mine && teamID(item) != mine) {
    return reportable("The update was signed by a different developer");
  }
  return std::nullopt;
}

// The bundle inside the image, attached read-only at the updates folder's mount point.
std::optional<std::string> checkBundleInside(const std::string& image, const Release& release,
                                             const std::optional<std::string>& mine) {
  const std::string mount = updatesDir() + "/mount";
  std::error_code error;
  // A check ended mid-way may have left its image attached there.
  if (!std::filesystem::is_empty(mount, error) && !error) {
    (void)runTool(platform().tools().hdiutil, {"detach", mount, "-force"}, kDetachLimit);
  }
  std::filesystem::create_directories(mount, error);
  const auto& hdiutil = platform().tools().hdiutil;
  std::optional<std::string> failure;
  if (runTool(hdiutil, {"attach", "-nobrowse", "-readonly", "-mountpoint", mount, image},
              kAttachLimit)
          .status != 0) {
    failure = reportable("The update could not be opened");
  } else {
    const std::string bundle = mount + "/Kestrova.app";
    const auto strings = readInfoPlistStrings(bundle + "/Contents/Info.plist");
    const auto version = strings.find("CFBundleShortVersionString");
    if (version == strings.end() || version->second != release.version) {
      failure = reportable("The update does not hold the version it announced");
    } else {
      failure = checkTeam(bundle, mine);
    }
    (void)runTool(hdiutil, {"detach", mount, "-force"}, kDetachLimit);
  }
  // Only an empty folder goes: a volume that would not detach is left mounted, not emptied.
  std::error_code ignored;
  std::filesystem::remove(mount, ignored);
  return failure;
}

}  // namespace

std::optional<std::string> checkImage(const std::string& image, const Release& release) {
  const auto& tools = platform().tools();
  // Standard error may carry warnings (a locale perl lacks, say); the digest is on standard output.
  const auto sum = runTool(tools.shasum, {"-a", "256", image}, kShasumLimit);
  if (sum.status != 0 || digestFrom(sum.out) != release.sha256) {
    return kChecksumMessage;
  }
  const auto assessment = runTool(
      tools.spctl, {"-a", "-t", "open", "--context", "context:primary-signature", "-v", image},
      kSpctlLimit);
  const ShellResult verdict{assessment.status, assessment.out + assessment.err};
  if (verdict.status != 0 || verdict.output.find("accepted") == std::string::npos) {
    return std::string(
               "The update could not be verified, so it was discarded. Please report "
               "this to ") +
           kSupportEmail + ". " + gatekeeperDetail(verdict);
  }
  const auto mine = teamID(platform().host().bundlePath());
  if (auto failure = checkTeam(image, mine)) {
    return failure;
  }
  return checkBundleInside(image, release, mine);
}

}  // namespace kestrova::Updater
