// inkslab's command line: what a card request is and how the arguments are read.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/inkslab/color.h"

namespace kestrova::inkslab {

inline constexpr std::string_view kUsageLine =
    "usage: inkslab out.png W(0=auto) H bgHex text size fgHex [text2 size2 fgHex2]";

// The largest side and the largest area of a card. A 8K UHD frame fits; anything larger would
// cost hundreds of megabytes and is refused rather than risking a failed allocation.
inline constexpr std::int64_t kMaxSide = 16384;
inline constexpr std::int64_t kMaxPixels = std::int64_t{1} << 25;

// The largest font size drawn: a glyph larger than the largest card cannot be seen whole and
// would only cost memory in the rasteriser.
inline constexpr double kMaxFontSize = 16384.0;

// One line of text to draw. The text is kept byte for byte as given.
struct Line {
  std::string text;
  double size = 0.0;
  Rgba col;
};

struct CardRequest {
  std::string outPath;
  std::int64_t width = 0;  // 0: the widest line's width, rounded up, plus 48
  std::int64_t height = 0;
  Rgba background;
  std::vector<Line> lines;  // one or two
};

// An optional sign and one or more decimal digits, nothing else, within a signed 64-bit range.
[[nodiscard]] std::optional<std::int64_t> parseInteger(std::string_view text);

// A decimal number as strtod reads it in the POSIX locale, using up the whole text; empty text
// and text starting with white space are not numbers.
[[nodiscard]] std::optional<double> parseNumber(std::string_view text);

// Whether a font size can be drawn: finite, above 0 and at most kMaxFontSize.
[[nodiscard]] bool isDrawableSize(double size);

// Reads the arguments that follow the program's name. Absent when the usage line is due: fewer
// than 7 arguments; a width, height or first size that is not readable; a width below 0; a
// height below 1; a side above kMaxSide or a fixed card above kMaxPixels; a first size that
// cannot be drawn. The second line is kept only when arguments 8 to 10 are all present and
// the ninth is a drawable size; anything past the tenth is ignored.
[[nodiscard]] std::optional<CardRequest> parseArguments(std::span<const std::string> args);

}  // namespace kestrova::inkslab
