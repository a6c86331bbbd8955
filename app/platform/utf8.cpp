#include "app/platform/utf8.h"

#include <cstddef>
#include <cstdint>

namespace kestrova {
namespace {

struct LeadRule {
  std::size_t continuation;  // bytes that follow the lead byte
  std::uint8_t secondLow;    // allowed range of the first continuation byte
  std::uint8_t secondHigh;
};

// The well-formed table of the Unicode standard (table 3-7): the narrowed second-byte ranges are
// what rule out overlong forms, surrogates and code points above U+10FFFF.
bool ruleFor(std::uint8_t lead, LeadRule& rule) {
  if (lead >= 0xC2 && lead <= 0xDF)
    rule = {1, 0x80, 0xBF};
  else if (lead == 0xE0)
    rule = {2, 0xA0, 0xBF};
  else if ((lead >= 0xE1 && lead <= 0xEC) || lead == 0xEE || lead == 0xEF)
    rule = {2, 0x80, 0xBF};
  else if (lead == 0xED)
    rule = {2, 0x80, 0x9F};
  else if (lead == 0xF0)
    rule = {3, 0x90, 0xBF};
  else if (lead >= 0xF1 && lead <= 0xF3)
    rule = {3, 0x80, 0xBF};
  else if (lead == 0xF4)
    rule = {3, 0x80, 0x8F};
  else
    return false;
  return true;
}

}  // namespace

bool isValidUtf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<std::uint8_t>(bytes[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    LeadRule rule{};
    if (!ruleFor(lead, rule) || bytes.size() - i - 1 < rule.continuation) return false;
    const auto second = static_cast<std::uint8_t>(bytes[i + 1]);
    if (second < rule.secondLow || second > rule.secondHigh) return false;
    for (std::size_t k = 2; k <= rule.continuation; ++k) {
      const auto next = static_cast<std::uint8_t>(bytes[i + k]);
      if (next < 0x80 || next > 0xBF) return false;
    }
    i += rule.continuation + 1;
  }
  return true;
}

}  // namespace kestrova
