#include "tools/inkslab/arguments.h"

#include <locale.h>

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "tools/inkslab/locale_compat.h"

namespace kestrova::inkslab {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isAsciiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The POSIX locale, made once, so that reading numbers never depends on the environment.
locale_t posixLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t{});
  return locale;
}

std::optional<Line> readLine(std::span<const std::string> args, std::size_t first) {
  const auto size = parseNumber(args[first + 1]);
  if (!size || !isDrawableSize(*size)) {
    return std::nullopt;
  }
  return Line{args[first], *size, parseColor(args[first + 2])};
}

}  // namespace

std::optional<std::int64_t> parseInteger(std::string_view text) {
  const bool negative = !text.empty() && text.front() == '-';
  if (!text.empty() && (text.front() == '+' || negative)) {
    text.remove_prefix(1);
  }
  if (text.empty()) {
    return std::nullopt;
  }
  for (const char c : text) {
    if (!isDigit(c)) {
      return std::nullopt;
    }
  }
  // Read the magnitude as unsigned so that the most negative value is accepted.
  std::uint64_t magnitude = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
  if (error != std::errc{} || end != text.data() + text.size()) {
    return std::nullopt;
  }
  constexpr auto kMaxPositive = static_cast<std::uint64_t>(INT64_MAX);
  if (!negative) {
    return magnitude <= kMaxPositive ? std::optional(static_cast<std::int64_t>(magnitude))
                                     : std::nullopt;
  }
  if (magnitude > kMaxPositive + 1) {
    return std::nullopt;
  }
  return magnitude == kMaxPositive + 1 ? INT64_MIN : -static_cast<std::int64_t>(magnitude);
}

std::optional<double> parseNumber(std::string_view text) {
  if (text.empty() || isAsciiSpace(text.front())) {
    return std::nullopt;
  }
  const std::string copy(text);  // strtod needs a terminated string
  char* end = nullptr;
  const double value = strtod_l(copy.c_str(), &end, posixLocale());
  if (end != copy.c_str() + copy.size()) {
    return std::nullopt;
  }
  return value;
}

bool isDrawableSize(double size) {
  return std::isfinite(size) && size > 0.0 && size <= kMaxFontSize;
}

std::optional<CardRequest> parseArguments(std::span<const std::string> args) {
  if (args.size() < 7) {
    return std::nullopt;
  }
  const auto width = parseInteger(args[1]);
  const auto height = parseInteger(args[2]);
  if (!width || !height || *width < 0 || *height < 1 || *width > kMaxSide || *height > kMaxSide ||
      *width * *height > kMaxPixels) {
    return std::nullopt;
  }
  auto first = readLine(args, 4);
  if (!first) {
    return std::nullopt;
  }
  CardRequest request{args[0], *width, *height, parseColor(args[3]), {std::move(*first)}};
  if (args.size() >= 10) {
    if (auto second = readLine(args, 7)) {
      request.lines.push_back(std::move(*second));
    }
  }
  return request;
}

}  // namespace kestrova::inkslab
