#include "tools/release/verify_release.h"

#include <stdlib.h>

#include <filesystem>
#include <variant>

#include "app/engine/paths.h"
#include "app/engine/shell.h"
#include "app/platform/atomic_file.h"
#include "app/platform/info_plist.h"
#include "app/update/download_verify.h"
#include "app/update/team_id.h"
#include "app/update/update_feed.h"
#include "app/update/versions.h"
#include "tools/release/previous_feed.h"
#include "tools/release/signing.h"
#include "tools/release/tool_platform.h"
#include "tools/release/version_reading.h"

namespace kestrova::release {
namespace {

std::optional<Updater::Release> fetchAsStation(ToolPlatform& tool) {
  std::optional<Updater::Release> fetched;
  tool.runUntilDone([&](std::function<void()> finished) {
    Updater::fetchFeed([&, finished](std::optional<Updater::Release> release) {
      fetched = std::move(release);
      finished();
    });
  });
  return fetched;
}

// The verified image's path, or the message a station would show.
std::variant<std::string, std::string> downloadAsStation(ToolPlatform& tool,
                                                         const Updater::Release& release) {
  std::optional<std::string> image;
  std::string message;
  tool.runUntilDone([&](std::function<void()> finished) {
    Updater::downloadAndVerify(release, [&, finished](std::optional<std::string> path,
                                                      std::optional<std::string> refusal) {
      image = std::move(path);
      message = refusal.value_or("");
      finished();
    });
  });
  if (image) return std::variant<std::string, std::string>(std::in_place_index<0>, *image);
  return std::variant<std::string, std::string>(std::in_place_index<1>, message);
}

// CFBundleShortVersionString of Kestrova.app inside the image: what the station will report.
std::optional<std::string> versionInside(const std::string& image, const std::string& mount) {
  const auto& hdiutil = platform().tools().hdiutil;
  if (shell(hdiutil, {"attach", "-nobrowse", "-readonly", "-mountpoint", mount, image}).status !=
      0) {
    return std::nullopt;
  }
  const auto strings = readInfoPlistStrings(mount + "/Kestrova.app/Contents/Info.plist");
  (void)shell(hdiutil, {"detach", mount, "-force"});
  const auto found = strings.find("CFBundleShortVersionString");
  return found == strings.end() ? std::nullopt : std::optional(found->second);
}

std::optional<std::string> checkOrder(const VerifyOptions& options, const Updater::Release& release,
                                      ToolPlatform& tool, std::ostream& out) {
  if (auto why = misreading(release.version)) return "The feed's version " + *why;
  if (!options.previousFeed) return std::nullopt;
  auto previous = readFeed(*options.previousFeed, tool);
  if (auto* failure = std::get_if<std::string>(&previous)) return *failure;
  const auto& before = std::get<Updater::Release>(previous).version;
  if (auto why = notNewer(release.version, before)) return why;
  out << "Order: the app ranks " << release.version << " above " << before << ".\n";
  return std::nullopt;
}

std::optional<std::string> checkImage(const std::string& image, const Updater::Release& release,
                                      const std::string& mount, std::ostream& out) {
  const auto inside = versionInside(image, mount);
  if (!inside) return "The image holds no Kestrova.app with a version in its Info.plist.";
  if (*inside != release.version) {
    return "The feed announces " + release.version + " but the image's bundle reports " + *inside +
           ": stations would install it and then be offered " + release.version + " again" +
           (Updater::isNewer(release.version, *inside) ? " at every check." : ".");
  }
  out << "The image holds Kestrova.app " << *inside << ".\n";
  return std::nullopt;
}

}  // namespace

std::optional<std::string> verifyRelease(const VerifyOptions& options, std::ostream& out) {
  if (!isWebAddress(options.feedURL)) {
    return options.feedURL + " is not an http or https address a station would accept.";
  }
  // A home of its own, as a new station has: nothing of this machine's own copy is touched.
  const ScratchFolder home;
  if (home.path().empty() || ::setenv("HOME", home.path().c_str(), 1) != 0) {
    return std::string("Could not make a scratch home.");
  }
  ToolPlatform tool(options.bundle, publisherTools(options.bundle));
  std::filesystem::create_directories(Paths::engineDataDir());
  const std::string config = R"({"update_feed": ")" + options.feedURL + "\"}\n";
  if (writeFileAtomically(Paths::configFile(), config) || Updater::feedURL() != options.feedURL) {
    return "A station could not be pointed at " + options.feedURL + ".";
  }
  const auto release = fetchAsStation(tool);
  if (!release) return "Stations cannot read the feed at " + options.feedURL + ".";
  out << "Feed: Kestrova " << release->version << (release->critical ? " (critical)" : "")
      << ", image " << release->url << ".\n";
  if (auto failed = checkOrder(options, *release, tool, out)) return failed;
  const auto downloaded = downloadAsStation(tool, *release);
  if (downloaded.index() == 1) return "A station would refuse it: " + std::get<1>(downloaded);
  out << "Image: downloaded, SHA-256 matches, Gatekeeper accepted it, and its signing team "
      << (Updater::teamID(options.bundle) ? "matches " : "was not compared (unsigned) with ")
      << options.bundle << ".\n";
  if (auto failed = checkImage(std::get<0>(downloaded), *release, home.path() + "/mount", out)) {
    return failed;
  }
  out << "Stations on an older version will be offered " << release->version
      << " and will install it.\n";
  return std::nullopt;
}

}  // namespace kestrova::release
