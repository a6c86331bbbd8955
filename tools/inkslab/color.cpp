#include "tools/inkslab/color.h"

#include <limits>
#include <optional>

namespace kestrova::inkslab {
namespace {

struct Decoded {
  char32_t code = 0;
  std::size_t length = 1;  // bytes used; an invalid byte is consumed alone
  bool valid = false;
};

// Decodes one UTF-8 sequence at the start of text (which is not empty).
Decoded decodeOne(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  if (lead < 0x80) {
    return {lead, 1, true};
  }
  std::size_t length = 0;
  char32_t code = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0U) == 0xC0U) {
    length = 2, code = lead & 0x1FU, minimum = 0x80;
  } else if ((lead & 0xF0U) == 0xE0U) {
    length = 3, code = lead & 0x0FU, minimum = 0x800;
  } else if ((lead & 0xF8U) == 0xF0U) {
    length = 4, code = lead & 0x07U, minimum = 0x10000;
  } else {
    return {};
  }
  if (text.size() < length) {
    return {};
  }
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[i]);
    if ((next & 0xC0U) != 0x80U) {
      return {};
    }
    code = (code << 6U) | (next & 0x3FU);
  }
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  if (code < minimum || code > 0x10FFFF || surrogate) {
    return {};
  }
  return {code, length, true};
}

// The white space and line ends a hexadecimal scanner skips before the number.
bool isSkippedSpace(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

std::optional<unsigned> hexDigit(char c) {
  if (c >= '0' && c <= '9') {
    return static_cast<unsigned>(c - '0');
  }
  if (c >= 'a' && c <= 'f') {
    return static_cast<unsigned>(c - 'a' + 10);
  }
  if (c >= 'A' && c <= 'F') {
    return static_cast<unsigned>(c - 'A' + 10);
  }
  return std::nullopt;
}

std::string_view skipLeadingSpace(std::string_view text) {
  while (!text.empty()) {
    const Decoded d = decodeOne(text);
    if (!d.valid || !isSkippedSpace(d.code)) {
      break;
    }
    text.remove_prefix(d.length);
  }
  return text;
}

// Reads an unsigned 64-bit hexadecimal number; a number too large for 64 bits reads as the
// largest one, as the scanner it mirrors does.
std::uint64_t scanHex(std::string_view text) {
  text = skipLeadingSpace(text);
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
      hexDigit(text[2])) {
    text.remove_prefix(2);
  }
  std::uint64_t value = 0;
  bool overflow = false;
  for (const char c : text) {
    const auto digit = hexDigit(c);
    if (!digit) {
      break;
    }
    if (value > (std::numeric_limits<std::uint64_t>::max() >> 4U)) {
      overflow = true;
    }
    value = (value << 4U) | *digit;
  }
  return overflow ? std::numeric_limits<std::uint64_t>::max() : value;
}

std::uint8_t byteAt(std::uint64_t value, unsigned shift) {
  return static_cast<std::uint8_t>((value >> shift) & 0xFFU);
}

}  // namespace

std::size_t characterCount(std::string_view text) {
  std::size_t count = 0;
  while (!text.empty()) {
    const Decoded d = decodeOne(text);
    count += (d.valid && d.code >= 0x10000) ? 2 : 1;
    text.remove_prefix(d.length);
  }
  return count;
}

std::u16string utf16Text(std::string_view text) {
  std::u16string units;
  units.reserve(text.size());
  while (!text.empty()) {
    const Decoded d = decodeOne(text);
    const char32_t code = d.valid ? d.code : U'\uFFFD';
    if (code >= 0x10000) {
      units.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10U)));
      units.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FFU)));
    } else {
      units.push_back(static_cast<char16_t>(code));
    }
    text.remove_prefix(d.length);
  }
  return units;
}

Rgba parseColor(std::string_view text) {
  const std::uint64_t value = scanHex(text);
  if (characterCount(text) == 8) {
    return {byteAt(value, 24), byteAt(value, 16), byteAt(value, 8), byteAt(value, 0)};
  }
  return {byteAt(value, 16), byteAt(value, 8), byteAt(value, 0), 255};
}

}  // namespace kestrova::inkslab
