// Draws a requested card: measures its lines, sizes the card, paints and places the text.
#pragma once

#include <optional>

#include "tools/inkslab/arguments.h"
#include "tools/inkslab/canvas.h"
#include "tools/inkslab/text_setter.h"

namespace kestrova::inkslab {

// The card, ready to hand out its rows; it refers to the request, which must outlive it. Absent
// when the card cannot be drawn: an automatic width beyond kMaxSide, a card beyond kMaxPixels, or
// no memory for its pixels.
[[nodiscard]] std::optional<Canvas> renderCard(const CardRequest& request,
                                               const TextSetter& setter);

}  // namespace kestrova::inkslab
