// Encodes a finished card as PNG bytes, quickly: a card is mostly uniform rows.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "tools/inkslab/canvas.h"

namespace kestrova::inkslab {

// Encodes the canvas as one 8-bit sRGB image: red-green-blue when the card is known to be
// opaque everywhere, otherwise red-green-blue-alpha with alpha not premultiplied. Absent when
// the compressor fails (out of memory).
[[nodiscard]] std::optional<std::vector<std::uint8_t>> encodePng(Canvas& canvas, bool opaque);

}  // namespace kestrova::inkslab
