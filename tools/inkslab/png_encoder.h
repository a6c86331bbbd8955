// Encodes a finished card as PNG bytes, quickly: the card is mostly uniform rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "tools/inkslab/canvas.h"

namespace kestrova::inkslab {

struct EncodedPng {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size = 0;
};

// Encodes the canvas (drawing finished) as one 8-bit sRGB image: red-green-blue when the card
// is known to be opaque everywhere, otherwise red-green-blue-alpha with alpha not
// premultiplied. The PNG rows are filtered into the canvas's own memory, so the canvas's pixels
// are gone afterwards. Absent when memory runs out.
[[nodiscard]] std::optional<EncodedPng> encodePng(Canvas& canvas, bool opaque);

}  // namespace kestrova::inkslab
