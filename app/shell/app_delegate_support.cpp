// PLACEHOLDER until the support work lands: media folder, password, diagnostics, logs, help.
#include "app/shell/app_delegate.h"

namespace kestrova {

void AppDelegate::chooseMediaFolder() {}
void AppDelegate::showPassword() {}
void AppDelegate::showLogs() {}
void AppDelegate::diagnostics() {}
void AppDelegate::help() {}

}  // namespace kestrova
