#include "tools/release/version_reading.h"

#include <charconv>
#include <cstdint>
#include <string_view>
#include <vector>

#include "app/update/versions.h"

namespace kestrova::release {
namespace {

bool allDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::vector<std::string_view> parts(std::string_view version) {
  std::vector<std::string_view> found;
  for (std::size_t start = 0;;) {
    const auto dot = version.find('.', start);
    found.push_back(version.substr(start, dot == std::string_view::npos ? dot : dot - start));
    if (dot == std::string_view::npos) return found;
    start = dot + 1;
  }
}

// How the app reads a version, written out: every part a signed decimal number or else 0, empty
// parts dropped. Only for explaining; the ranking itself is isNewer's.
std::string appReading(std::string_view version) {
  std::string reading;
  for (std::string_view part : parts(version)) {
    if (part.empty()) continue;
    const std::string_view digits = part.front() == '+' ? part.substr(1) : part;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    const bool number = error == std::errc{} && end == digits.data() + digits.size();
    reading += (reading.empty() ? "" : ".") + std::to_string(number ? value : 0);
  }
  return reading.empty() ? "0" : reading;
}

// The numeric beginning a person reads first: "2.0" of "2.0-beta", "1.3" of "1.3b".
std::string numericStart(std::string_view version) {
  auto start = version.substr(0, version.find_first_not_of("0123456789."));
  while (start.ends_with('.')) start.remove_suffix(1);
  return std::string(start);
}

// A version a person ranks just below `plain` (its last part one less), if there is one.
std::optional<std::string> justBelow(const std::string& plain) {
  const auto dot = plain.rfind('.');
  const std::string last = plain.substr(dot == std::string::npos ? 0 : dot + 1);
  if (!allDigits(last) || last.size() > 9 || std::stoi(last) == 0) return std::nullopt;
  return plain.substr(0, dot == std::string::npos ? 0 : dot + 1) +
         std::to_string(std::stoi(last) - 1);
}

}  // namespace

std::optional<std::string> misreading(const std::string& version) {
  bool plain = true, fits = true;
  for (std::string_view part : parts(version)) {
    plain = plain && allDigits(part);
    std::int64_t value = 0;
    fits = fits && std::from_chars(part.data(), part.data() + part.size(), value).ec == std::errc{};
  }
  if (plain && fits) return std::nullopt;
  const std::string counted = version + " counts as " + appReading(version);
  if (plain) return counted + ": a part above 9223372036854775807 is too large for the app.";
  const std::string start = numericStart(version);
  if (!start.empty() && start != version && !Updater::isNewer(start, version)) {
    return counted + ", so " + start + " will not be offered after it.";
  }
  if (!start.empty() && start != version) {
    if (auto below = justBelow(start); below && !Updater::isNewer(version, *below)) {
      return counted + ", so a station on " + *below + " will not be offered it.";
    }
  }
  return counted +
         ": the app reads each part between dots as a whole number and anything else "
         "as 0. Use plain numbers, such as 1.2.3.";
}

std::optional<std::string> notNewer(const std::string& version, const std::string& previous) {
  if (Updater::isNewer(version, previous)) return std::nullopt;
  std::string refusal = version + " is not newer than " + previous +
                        ", the version of the previous feed, by the app's rule, so no station "
                        "would be offered it.";
  if (auto why = misreading(previous)) refusal += " " + *why;
  return refusal;
}

}  // namespace kestrova::release
