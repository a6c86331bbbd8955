// Hexadecimal digits in outside text: percent escapes in URLs and logs, \uXXXX escapes in JSON.
#pragma once

#include <cstddef>
#include <string_view>

namespace kestrova {

// The digit's value, or -1 when the character is no hexadecimal digit.
[[nodiscard]] constexpr int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The value of the four hexadecimal digits at `at`, or -1 when the text holds no such four there.
[[nodiscard]] constexpr int hexQuadAt(std::string_view text, std::size_t at) {
  if (at > text.size() || text.size() - at < 4) return -1;
  int value = 0;
  for (std::size_t i = at; i < at + 4; ++i) {
    const int digit = hexDigitValue(text[i]);
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

}  // namespace kestrova
