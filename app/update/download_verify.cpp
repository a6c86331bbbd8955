#include "app/update/download_verify.h"

#include <filesystem>
#include <system_error>
#include <thread>

#include "app/platform/platform.h"
#include "app/update/image_checks.h"
#include "app/update/product_site.h"
#include "app/update/update_paths.h"
#include "app/update/versions.h"

namespace kestrova::Updater {
namespace {

namespace fs = std::filesystem;

// The Mac's default request settings: a minute without data fails the transfer, and the whole
// of it may take up to seven days, so a large image on a slow line still arrives while a stalled
// one fails soon.
constexpr double kDownloadIdleLimit = 60.0;
constexpr double kDownloadTimeLimit = 7 * 86'400.0;

// Far beyond any release image; a server sending more is not sending one.
constexpr std::size_t kMaxImageBytes = std::size_t{4} * 1024 * 1024 * 1024;

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

// Runs on the URL-loading thread; the checks go to a thread of their own, so that the tools
// they run never hold up the status poll. The outcome crosses to the main thread in one post.
void finishDownload(const DownloadResult& result, const Release& release, const VerifyDone& done) {
  MainLoop& loop = platform().loop();
  auto finish = [&loop, done](std::optional<std::string> path, std::optional<std::string> message) {
    loop.post(
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
  // Every tool it runs has a time limit, so the thread ends within a bounded time.
  std::thread([image, release, finish] {
    if (auto failure = checkImage(image, release)) {
      std::error_code ignored;
      fs::remove(image, ignored);
      finish(std::nullopt, std::move(failure));
      return;
    }
    finish(image, std::nullopt);
  }).detach();
}

}  // namespace

void downloadAndVerify(const Release& release, VerifyDone done) {
  // The version names the image's file: one that could reach outside the updates folder, or
  // into the tools' output, is refused before anything is fetched.
  if (!isPlainVersion(release.version)) {
    platform().loop().post([done = std::move(done)] {
      done(std::nullopt,
           "The update feed names its release in a way that cannot be saved, so "
           "nothing was downloaded. Please report this to " +
               std::string(kSupportEmail) + ".");
    });
    return;
  }
  std::error_code ignored;
  // A real problem with the folder shows when the download is saved into it.
  fs::create_directories(updatesDir(), ignored);
  // One release always lands on the same path; an earlier copy goes first.
  fs::remove(imagePath(release.version), ignored);
  HttpRequest request;
  request.url = release.url;
  request.timeoutSeconds = kDownloadTimeLimit;
  request.idleSeconds = kDownloadIdleLimit;
  request.maxBodyBytes = kMaxImageBytes;
  platform().http().download(std::move(request),
                             [release, done = std::move(done)](const DownloadResult& result) {
                               finishDownload(result, release, done);
                             });
}

}  // namespace kestrova::Updater
