// The controller's update commands: checking the feed, offering a release, installing it.
#include <optional>
#include <string>

#include "app/engine/agent.h"
#include "app/platform/platform.h"
#include "app/shell/app_delegate.h"
#include "app/update/download_verify.h"
#include "app/update/swap_and_relaunch.h"
#include "app/update/update_feed.h"
#include "app/update/versions.h"

namespace kestrova {
namespace {

constexpr double kFirstCheckDelay = 120.0;
constexpr double kCheckInterval = 86'400.0;

std::string offerText(const Updater::Release& release) {
  std::string text = "You have " + Updater::myVersion() + ".";
  if (!release.notes.empty()) {
    text += "\n\n" + release.notes;
  }
  return text +
         "\n\nUpdating stops the broadcast for about a minute; it resumes by itself "
         "from where it stopped.";
}

}  // namespace

void AppDelegate::scheduleUpdateChecks() {
  // Both hold the controller weakly: they must not keep it past the program's end, where its
  // status item and window would outlive the Ui they belong to.
  const auto quietCheck = whileAlive([](AppDelegate& self) { self.runUpdateCheck(true); });
  platform().loop().postAfter(kFirstCheckDelay, quietCheck);
  updateCheckTimer_ = platform().loop().repeat(kCheckInterval, quietCheck);
}

void AppDelegate::checkForUpdates() { runUpdateCheck(false); }

void AppDelegate::runUpdateCheck(bool quiet) {
  // While a download and verification is running, "Check for Updates…" (and a scheduled check)
  // does nothing: it could only offer the release being installed.
  if (updateInProgress_) {
    return;
  }
  Updater::fetchFeed(
      whileAlive([quiet](AppDelegate& self, std::optional<Updater::Release> release) {
        if (!release) {
          if (!quiet) {
            self.alert("Could not check for updates",
                       "The update feed was unreachable. Check the internet connection.");
          }
          return;
        }
        if (Updater::isNewer(release->version, Updater::myVersion())) {
          self.offerUpdate(*release);  // scheduled checks too: a newer release is always offered
          return;
        }
        if (!quiet) {
          self.alert("You are up to date",
                     "Kestrova " + Updater::myVersion() + " is the newest version.");
        }
      }));
}

void AppDelegate::offerUpdate(const Updater::Release& release) {
  const AlertSpec offer{"Kestrova " + release.version + " is available",
                        offerText(release),
                        {"Update Now", "Later"},
                        std::nullopt};
  if (platform().ui().runAlert(offer).response != kAlertFirstButton) {
    return;  // "Later": nothing is remembered; the next check offers it again
  }
  beginUpdate(release);
}

void AppDelegate::beginUpdate(const Updater::Release& release) {
  // "Update Now" does nothing while a download and verification is already running: both would
  // download to the same image path.
  if (updateInProgress_) {
    return;
  }
  updateInProgress_ = true;
  if (statusItem_) {
    statusItem_->setAppearsDisabled(true);
  }
  Updater::downloadAndVerify(release,
                             whileAlive([](AppDelegate& self, std::optional<std::string> image,
                                           std::optional<std::string> message) {
                               self.finishUpdate(std::move(image), std::move(message));
                             }));
}

void AppDelegate::finishUpdate(std::optional<std::string> image,
                               std::optional<std::string> message) {
  updateInProgress_ = false;
  if (statusItem_) {
    statusItem_->setAppearsDisabled(false);
  }
  if (message) {
    alert("Update not installed", *message);  // the engine was never interrupted
    return;
  }
  if (!image) {
    return;
  }
  const auto failure = Updater::swapAndRelaunch(*image);
  if (!failure) {
    return;  // the helper has taken over; the application terminates in a moment
  }
  alert("Update not installed", failure->message);
  if (!failure->engineStopped) {
    return;  // the helper was never written: the broadcast was not interrupted
  }
  // The helper could not start after the service had been stopped: bring the broadcast back.
  if (Agent::isLoaded()) {
    Agent::restart();
  } else {
    (void)Agent::install();
  }
}

}  // namespace kestrova
