// PLACEHOLDER until the self-update work lands: the update commands of the controller.
#include "app/shell/app_delegate.h"

namespace kestrova {

void AppDelegate::scheduleUpdateChecks() {}
void AppDelegate::checkForUpdates() {}
void AppDelegate::runUpdateCheck(bool /*quiet*/) {}
void AppDelegate::offerUpdate(const Updater::Release& /*release*/) {}
void AppDelegate::beginUpdate(const Updater::Release& /*release*/) {}

}  // namespace kestrova
