#include "standins/launchctl/plist_text.h"

#include "app/platform/utf8.h"

namespace kestrova::launchd {
namespace {

// `rest` follows an `&`: one of XML's five named entities, or a decimal or hexadecimal
// character reference.
bool beginsEntity(std::string_view rest) {
  for (const std::string_view named : {"amp;", "lt;", "gt;", "quot;", "apos;"}) {
    if (rest.starts_with(named)) return true;
  }
  if (!rest.starts_with('#')) return false;
  rest.remove_prefix(1);
  const bool hex = rest.starts_with('x');
  if (hex) rest.remove_prefix(1);
  const auto end = rest.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789");
  return end != 0 && end != std::string_view::npos && rest[end] == ';';
}

// Where a comment or CDATA section opening at `at` ends; `at` itself when none opens there.
std::size_t pastVerbatim(std::string_view text, std::size_t at) {
  for (const auto& [open, close] :
       {std::pair<std::string_view, std::string_view>{"<!--", "-->"}, {"<![CDATA[", "]]>"}}) {
    if (text.substr(at).starts_with(open)) {
      const auto end = text.find(close, at + open.size());
      return end == std::string_view::npos ? text.size() : end + close.size();
    }
  }
  return at;
}

}  // namespace

std::optional<std::string> plistTextFault(std::string_view text) {
  if (!isValidUtf8(text)) return "not UTF-8";
  std::size_t verbatimEnd = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (at >= verbatimEnd) verbatimEnd = pastVerbatim(text, at);
    const auto c = static_cast<unsigned char>(text[at]);
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
      return "control character at offset " + std::to_string(at);
    }
    if (c == '&' && at >= verbatimEnd && !beginsEntity(text.substr(at + 1))) {
      return "unescaped '&' at offset " + std::to_string(at);
    }
  }
  return std::nullopt;
}

}  // namespace kestrova::launchd
