// The application's main menu (application, Edit and Window submenus), built as a value.
#pragma once

#include "app/platform/menu.h"

namespace kestrova {

// Every item travels the responder chain, so the focused dashboard window and its web view
// answer the standard editing and window commands.
[[nodiscard]] Menu buildAppMenu();

}  // namespace kestrova
