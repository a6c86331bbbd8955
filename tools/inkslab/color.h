// Hexadecimal colour arguments of inkslab, read into RGBA.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrova::inkslab {

// One colour as given on the command line, 8 bits per channel, alpha not premultiplied.
// The channel values are taken as sRGB.
struct Rgba {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  std::uint8_t alpha = 255;

  bool operator==(const Rgba&) const = default;
};

// Reads a colour argument. Never fails: text without hexadecimal digits reads as 0, which
// gives opaque black, or transparent black when the argument is 8 characters long.
// An 8-character argument is red-green-blue-alpha (so "0x00FF00" is transparent blue);
// anything else is red-green-blue, opaque, with higher bits ignored. "#" is not accepted.
[[nodiscard]] Rgba parseColor(std::string_view text);

// How many characters a text holds, counted as UTF-16 code units (a character outside the
// basic plane counts twice); a byte that is not valid UTF-8 counts as one character.
[[nodiscard]] std::size_t characterCount(std::string_view text);

// The text as UTF-16, for text libraries that take it so: each byte that is not valid UTF-8
// becomes U+FFFD, so that any bytes can be drawn.
[[nodiscard]] std::u16string utf16Text(std::string_view text);

}  // namespace kestrova::inkslab
