#include "app/update/versions.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <vector>

#include "app/platform/platform.h"

namespace kestrova::Updater {
namespace {

// The whole component must be an optional sign and one or more ASCII digits within range;
// anything else (a pre-release suffix, spaces, overflow) counts as 0.
std::int64_t componentValue(std::string_view text) {
  std::string_view digits = text;
  bool negative = false;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty() || digits.front() == '+' || digits.front() == '-') {
    return 0;
  }
  // Parse with the sign attached so that the most negative value is still in range.
  std::string signedText = negative ? "-" : "";
  signedText.append(digits);
  std::int64_t value = 0;
  const char* end = signedText.data() + signedText.size();
  auto [stop, error] = std::from_chars(signedText.data(), end, value, 10);
  if (error != std::errc{} || stop != end) {
    return 0;
  }
  return value;
}

std::vector<std::int64_t> components(std::string_view version) {
  std::vector<std::int64_t> values;
  while (!version.empty()) {
    const auto dot = version.find('.');
    const auto piece = version.substr(0, dot);
    if (!piece.empty()) {
      values.push_back(componentValue(piece));
    }
    if (dot == std::string_view::npos) {
      break;
    }
    version.remove_prefix(dot + 1);
  }
  return values;
}

}  // namespace

bool isNewer(std::string_view candidate, std::string_view than) {
  const auto mine = components(candidate);
  const auto theirs = components(than);
  const auto count = std::max(mine.size(), theirs.size());
  for (std::size_t i = 0; i < count; ++i) {
    const std::int64_t a = i < mine.size() ? mine[i] : 0;
    const std::int64_t b = i < theirs.size() ? theirs[i] : 0;
    if (a != b) {
      return a > b;
    }
  }
  return false;
}

bool isPlainVersion(std::string_view version) {
  constexpr std::string_view kAllowed =
      "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ.+-_";
  return !version.empty() && version.size() <= 64 &&
         version.find_first_not_of(kAllowed) == std::string_view::npos;
}

std::string myVersion() {
  return platform().host().infoString("CFBundleShortVersionString").value_or("0");
}

}  // namespace kestrova::Updater
