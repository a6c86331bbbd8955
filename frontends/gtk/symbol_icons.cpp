#include "frontends/gtk/symbol_icons.h"

#include <array>
#include <string_view>
#include <utility>

namespace kestrova::gtk {

// Chosen to read the same at a glance as the Mac's symbols: waves crossed out for offline, a
// pause sign for idle, broadcasting waves on air, a camera for a live event, a warning sign
// when setup is needed. All are present in the Adwaita theme.
std::optional<std::string> iconForSymbol(const std::string& symbolName) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 5> table{{
      {"dot.radiowaves.left.and.right", "network-wireless-offline-symbolic"},
      {"pause.circle", "media-playback-pause-symbolic"},
      {"antenna.radiowaves.left.and.right", "network-wireless-symbolic"},
      {"video.circle.fill", "camera-video-symbolic"},
      {"exclamationmark.circle", "dialog-warning-symbolic"},
  }};
  for (const auto& [symbol, icon] : table) {
    if (symbol == symbolName) {
      return std::string(icon);
    }
  }
  return std::nullopt;
}

}  // namespace kestrova::gtk
