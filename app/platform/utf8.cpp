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

// Length of the well-formed sequence at `at`, or 0 when it is ill-formed; `subpart` is then the
// length of its maximal ill-formed subpart (at least 1).
std::size_t sequenceAt(std::string_view bytes, std::size_t at, std::size_t& subpart) {
  const auto lead = static_cast<std::uint8_t>(bytes[at]);
  subpart = 1;
  if (lead < 0x80) {
    return 1;
  }
  LeadRule rule{};
  if (!ruleFor(lead, rule)) {
    return 0;
  }
  for (std::size_t k = 1; k <= rule.continuation; ++k) {
    if (at + k >= bytes.size()) {
      return 0;
    }
    const auto next = static_cast<std::uint8_t>(bytes[at + k]);
    const bool fits =
        k == 1 ? next >= rule.secondLow && next <= rule.secondHigh : next >= 0x80 && next <= 0xBF;
    if (!fits) {
      return 0;
    }
    subpart = k + 1;
  }
  return rule.continuation + 1;
}

}  // namespace

std::string withReplacementCharacters(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (std::size_t at = 0; at < bytes.size();) {
    std::size_t subpart = 0;
    if (const std::size_t length = sequenceAt(bytes, at, subpart); length > 0) {
      text.append(bytes.substr(at, length));
      at += length;
    } else {
      text.append("\xEF\xBF\xBD");
      at += subpart;
    }
  }
  return text;
}

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
