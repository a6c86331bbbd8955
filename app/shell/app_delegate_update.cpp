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
  // Both hold the controller strongly: it lives as long as the process anyway.
  platform().loop().postAfter(kFirstCheckDelay,
                              [self = shared_from_this()] { self->runUpdateCheck(true); });
  updateCheckTimer_ = platform().loop().repeat(
      kCheckInterval, [self = shared_from_this()] { self->runUpdateCheck(true); });
}

void AppDelegate::checkForUpdates() { runUpdateCheck(false); }

void AppDelegate::runUpdateCheck(bool quiet) {
  // While a download and verification is running, "Check for Updates…" (and a scheduled check)
  // does nothing: it could only offer the release being installed.
  if (updateInProgress_) {
    return;
  }
  Updater::fetchFeed([self = shared_from_this(), quiet](std::optional<Updater::Release> release) {
    if (!release) {
      if (!quiet) {
        self->alert("Could not check for updates",
                    "The update feed was unreachable. Check the internet connection.");
      }
      return;
    }
    if (Updater::isNewer(release->version, Updater::myVersion())) {
      self->offerUpdate(*release);  // scheduled checks too: a newer release is always offered
      return;
    }
    if (!quiet) {
      self->alert("You are up to date",
                  "Kestrova " + Updater::myVersion() + " is the newest version.");
    }
  });
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
  Updater::downloadAndVerify(
      release, [self = shared_from_this()](std::optional<std::string> image,
                                           std::optional<std::string> message) {
        self->updateInProgress_ = false;
        if (self->statusItem_) {
          self->statusItem_->setAppearsDisabled(false);
        }
        if (message) {
          self->alert("Update not installed", *message);  // the engine was never interrupted
          return;
        }
        if (!image) {
          return;
        }
        const auto failure = Updater::swapAndRelaunch(*image);
        if (!failure) {
          return;  // the helper has taken over; the application terminates in a moment
        }
        self->alert("Update not installed", *failure);
        // Bring the broadcast back: a helper that was never written left the service loaded; one
        // that could not start came after the service was unloaded.
        if (Agent::isLoaded()) {
          Agent::restart();
        } else {
          (void)Agent::install();
        }
      });
}

}  // namespace kestrova
