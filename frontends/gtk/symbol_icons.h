// Which freedesktop icon stands for each system symbol the core names.
#pragma once

#include <optional>
#include <string>

namespace kestrova::gtk {

// The symbolic icon (Adwaita naming) drawn for a symbol name; absent for a name we do not map.
[[nodiscard]] std::optional<std::string> iconForSymbol(const std::string& symbolName);

}  // namespace kestrova::gtk
