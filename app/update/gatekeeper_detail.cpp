#include "app/update/gatekeeper_detail.h"

#include <string_view>

namespace kestrova::Updater {
namespace {

constexpr std::size_t kDetailCharacters = 120;

std::string_view trimmed(std::string_view text) {
  constexpr std::string_view kSpace = " \t\n\r\v\f";
  const auto start = text.find_first_not_of(kSpace);
  if (start == std::string_view::npos) {
    return {};
  }
  const auto end = text.find_last_not_of(kSpace);
  return text.substr(start, end - start + 1);
}

// The first `count` characters, counting a UTF-8 sequence as one character.
std::string_view firstCharacters(std::string_view text, std::size_t count) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool continuation = (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
    if (!continuation) {
      if (seen == count) {
        return text.substr(0, i);
      }
      ++seen;
    }
  }
  return text;
}

}  // namespace

std::string gatekeeperDetail(const ShellResult& assessment) {
  return "(spctl rc=" + std::to_string(assessment.status) + ": " +
         std::string(firstCharacters(trimmed(assessment.output), kDetailCharacters)) + ")";
}

}  // namespace kestrova::Updater
