#include "app/update/url_syntax.h"

#include <string_view>

#include "app/platform/hex_text.h"

namespace kestrova::Updater {
namespace {

bool isAsciiAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// Unreserved and reserved characters of the generic URL syntax.
bool isURLCharacter(char c) {
  constexpr std::string_view kOthers = "-._~:/?#[]@!$&'()*+,;=";
  return isAsciiAlpha(c) || isAsciiDigit(c) || kOthers.find(c) != std::string_view::npos;
}

bool validScheme(std::string_view scheme) {
  if (scheme.empty() || !isAsciiAlpha(scheme.front())) {
    return false;
  }
  for (char c : scheme) {
    if (!isAsciiAlpha(c) && !isAsciiDigit(c) && c != '+' && c != '-' && c != '.') {
      return false;
    }
  }
  return true;
}

}  // namespace

bool isURL(std::string_view text) {
  const auto colon = text.find(':');
  if (colon == std::string_view::npos || !validScheme(text.substr(0, colon))) {
    return false;
  }
  const auto rest = text.substr(colon + 1);
  if (rest.empty()) {
    return false;
  }
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '%') {
      if (i + 2 >= rest.size() || hexDigitValue(rest[i + 1]) < 0 ||
          hexDigitValue(rest[i + 2]) < 0) {
        return false;
      }
      i += 2;
    } else if (!isURLCharacter(rest[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace kestrova::Updater
