#include "app/support/logs_and_help.h"

#include "app/engine/paths.h"
#include "app/platform/platform.h"
#include "app/update/product_site.h"

namespace kestrova::Support {

std::string streamLogPath() { return Paths::logDir() + "/stream.log"; }

void showLogs() { platform().ui().revealFile(streamLogPath()); }

void openHelp() { (void)platform().ui().openURL(kProductWebsite); }

}  // namespace kestrova::Support
