// Text placed between XML tags, with the three characters XML gives meaning to written as entities.
#pragma once

#include <string>
#include <string_view>

namespace kestrova {

// `&` as "&amp;", `<` as "&lt;", `>` as "&gt;"; everything else as it stands.
[[nodiscard]] std::string xmlEscaped(std::string_view text);

}  // namespace kestrova
