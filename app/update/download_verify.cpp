#include "app/update/download_verify.h"

#include <cerrno>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "app/engine/shell.h"
#include "app/platform/platform.h"
#include "app/update/gatekeeper_detail.h"
#include "app/update/product_site.h"
#include "app/update/team_id.h"
#include "app/update/update_paths.h"

namespace kestrova::Updater {
namespace {

namespace fs = std::filesystem;

// The Mac's default request settings: a minute without data fails the transfer, and the whole
// of it may take up to seven days, so a large image on a slow line still arrives while a stalled
// one fails soon.
constexpr double kDownloadIdleLimit = 60.0;
constexpr double kDownloadTimeLimit = 7 * 86'400.0;

const std::string kChecksumMessage =
    "The downloaded file did not match the published checksum, so it was discarded. "
    "Try again later.";

// The first space-separated piece of shasum's output, lower-cased: the digest.
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

// Moves the file like the system file manager: a rename, or a copy across file systems.
std::optional<std::string> moveFile(const std::string& from, const std::string& to) {
  std::error_code error;
  fs::rename(from, to, error);
  if (error == std::errc::cross_device_link) {
    error.clear();
    if (fs::exists(to, error) || error) {
      return error ? error.message() : std::make_error_code(std::errc::file_exists).message();
    }
    fs::copy_file(from, to, error);
    if (!error) {
      fs::remove(from, error);
      error.clear();
    }
  }
  if (error) {
    return error.message();
  }
  return std::nullopt;
}

// Steps 7 to 9: absent when the image at `image` passes every check, else the message.
std::optional<std::string> verify(const std::string& image, const std::string& expectedDigest) {
  const auto& tools = platform().tools();
  const auto sum = shell(tools.shasum, {"-a", "256", image});
  if (sum.status != 0 || digestFrom(sum.output) != expectedDigest) {
    return kChecksumMessage;
  }
  const auto assessment = shell(
      tools.spctl, {"-a", "-t", "open", "--context", "context:primary-signature", "-v", image});
  if (assessment.status != 0 || assessment.output.find("accepted") == std::string::npos) {
    return std::string(
               "The update could not be verified, so it was discarded. Please report "
               "this to ") +
           kSupportEmail + ". " + gatekeeperDetail(assessment);
  }
  // An unsigned or ad-hoc signed running copy has no team to compare; nor has an image that
  // names none. Gatekeeper alone decides then.
  const auto mine = teamID(platform().host().bundlePath());
  if (!mine) {
    return std::nullopt;
  }
  const auto theirs = teamID(image);
  if (theirs && *theirs != *mine) {
    return std::string(
               "The update was signed by a different developer, so it was discarded. "
               "Please report this to ") +
           kSupportEmail + ".";
  }
  return std::nullopt;
}

// Runs on the URL-loading thread; the outcome crosses to the main thread in one post.
void finishDownload(const DownloadResult& result, const Release& release, const VerifyDone& done) {
  auto finish = [&done](std::optional<std::string> path, std::optional<std::string> message) {
    platform().loop().post(
        [done, path = std::move(path), message = std::move(message)] { done(path, message); });
  };
  if (result.error || !result.file) {
    finish(std::nullopt, "The download failed: " + result.error.value_or("no data") + ". " +
                             "Check the internet connection and try again.");
    return;
  }
  const auto image = imagePath(release.version);
  if (auto error = moveFile(*result.file, image)) {
    finish(std::nullopt, "Could not save the download: " + *error);
    return;
  }
  if (auto failure = verify(image, release.sha256)) {
    std::error_code ignored;
    fs::remove(image, ignored);
    finish(std::nullopt, std::move(failure));
    return;
  }
  finish(image, std::nullopt);
}

}  // namespace

void downloadAndVerify(const Release& release, VerifyDone done) {
  std::error_code ignored;
  // A real problem with the folder shows when the download is saved into it.
  fs::create_directories(updatesDir(), ignored);
  // One release always lands on the same path; an earlier copy goes first.
  fs::remove(imagePath(release.version), ignored);
  HttpRequest request;
  request.url = release.url;
  request.timeoutSeconds = kDownloadTimeLimit;
  request.idleSeconds = kDownloadIdleLimit;
  platform().http().download(std::move(request),
                             [release, done = std::move(done)](DownloadResult result) {
                               finishDownload(result, release, done);
                             });
}

}  // namespace kestrova::Updater
