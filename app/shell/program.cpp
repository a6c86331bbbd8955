#include "app/shell/program.h"

#include "app/platform/platform.h"
#include "app/shell/app_delegate.h"
#include "app/shell/app_menu.h"

namespace kestrova {

// The program-wide constants (constants.h) are fixed at compile time, so they are set before
// anything here runs.
int runApplication() {
  const auto delegate = AppDelegate::create();
  Ui& ui = platform().ui();
  ui.setRegularActivationPolicy();
  ui.setMainMenu(buildAppMenu());
  return ui.run(*delegate);
}

}  // namespace kestrova
