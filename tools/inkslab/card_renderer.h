// Draws a laid-out card with Pango and Cairo: paints the background and places the text.
#pragma once

#include <optional>
#include <vector>

#include "tools/inkslab/canvas.h"
#include "tools/inkslab/card_program.h"
#include "tools/inkslab/text_setter.h"

namespace kestrova::inkslab {

// The card, ready to hand out its rows; it refers to the request, which must outlive it. Absent
// when there is no memory for its pixels.
[[nodiscard]] std::optional<Canvas> renderCard(std::vector<ShapedLine> lines,
                                               const CardLayout& layout,
                                               const CardRequest& request);

}  // namespace kestrova::inkslab
