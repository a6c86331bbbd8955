#include "app/platform/untrusted_json.h"

#include <string>

#include "app/platform/hex_text.h"
#include "app/platform/utf8.h"

namespace kestrova {
namespace {

// Brackets outside strings, counted without building anything.
bool nestsTooDeep(std::string_view text) {
  int depth = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxJsonDepth) return true;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return false;
}

bool isHigh(int unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLow(int unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

nlohmann::json parseUntrustedJson(std::string_view text) {
  if (nestsTooDeep(text)) return nlohmann::json(nlohmann::json::value_t::discarded);
  return nlohmann::json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
}

std::string repairedJsonText(std::string_view text) {
  const std::string valid = withReplacementCharacters(text);
  std::string repaired;
  repaired.reserve(valid.size());
  for (std::size_t i = 0; i < valid.size(); ++i) {
    if (valid[i] != '\\' || i + 1 >= valid.size()) {
      repaired += valid[i];
      continue;
    }
    const int unit = valid[i + 1] == 'u' ? hexQuadAt(valid, i + 2) : -1;
    const bool paired = isHigh(unit) && i + 8 <= valid.size() &&
                        valid.compare(i + 6, 2, "\\u") == 0 && isLow(hexQuadAt(valid, i + 8));
    if ((isHigh(unit) || isLow(unit)) && !paired) {
      repaired += "\\ufffd";
      i += 5;
      continue;
    }
    // Any other escape (a pair included) is copied whole, so "\\\\u" stays two characters.
    const std::size_t length = paired ? 12 : 2;
    repaired.append(valid, i, length);
    i += length - 1;
  }
  return repaired;
}

}  // namespace kestrova
