#include "app/support/report_secrets.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "app/platform/hex_text.h"

namespace kestrova::Diagnostics {
namespace {

using Json = nlohmann::json;

// Far deeper than any configuration the engine writes; deeper text is no configuration.
constexpr std::size_t kMaxDepth = 64;

// Walks the file's own tokens, so that a number's text is the file's and not a re-written double.
class SecretCollector : public nlohmann::json_sax<Json> {
 public:
  std::vector<std::string> values;
  bool isObject = false;

  bool null() override { return scalar(std::nullopt); }
  bool boolean(bool) override { return scalar(std::nullopt); }
  bool number_integer(number_integer_t n) override { return scalar(std::to_string(n)); }
  bool number_unsigned(number_unsigned_t n) override { return scalar(std::to_string(n)); }
  bool number_float(number_float_t, const string_t& text) override { return scalar(text); }
  bool string(string_t& text) override { return scalar(text); }
  bool binary(binary_t&) override { return false; }
  bool start_object(std::size_t) override { return open(true); }
  bool start_array(std::size_t) override { return open(false); }
  bool end_object() override { return close(); }
  bool end_array() override { return close(); }
  bool key(string_t& name) override {
    nextIsSecret_ = insideSecret() || isSecretKey(name);
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;
  }

 private:
  // One entry per open object or array: whether it stands below a listed key.
  std::vector<bool> levels_;
  bool nextIsSecret_ = false;
  bool started_ = false;

  [[nodiscard]] bool insideSecret() const { return !levels_.empty() && levels_.back(); }
  bool scalar(std::optional<std::string> text) {
    // Null, true and false are too common in a log to remove.
    if (text && !text->empty() && (nextIsSecret_ || insideSecret())) {
      values.push_back(std::move(*text));
    }
    nextIsSecret_ = false;
    started_ = true;
    return true;
  }
  bool open(bool object) {
    if (!started_) isObject = object;
    started_ = true;
    levels_.push_back(nextIsSecret_ || insideSecret());
    nextIsSecret_ = false;
    return levels_.size() <= kMaxDepth;
  }
  bool close() {
    levels_.pop_back();
    return true;
  }
};

std::string utf8(long code) {
  std::string bytes;
  const auto byte = [&](long b) { bytes += static_cast<char>(b); };
  if (code < 0x80) {
    byte(code);
  } else if (code < 0x800) {
    byte(0xC0 | (code >> 6)), byte(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    byte(0xE0 | (code >> 12)), byte(0x80 | ((code >> 6) & 0x3F)), byte(0x80 | (code & 0x3F));
  } else {
    byte(0xF0 | (code >> 18)), byte(0x80 | ((code >> 12) & 0x3F));
    byte(0x80 | ((code >> 6) & 0x3F)), byte(0x80 | (code & 0x3F));
  }
  return bytes;
}

struct Unit {
  std::size_t length = 0;  // in the text; 0 when the text holds no escape here
  std::string bytes;       // what it stands for
};

// The JSON escape at `at` (after its backslash) and what it stands for.
Unit jsonEscape(std::string_view text, std::size_t at) {
  static constexpr std::string_view kFrom = "\"\\/bfnrt", kTo = "\"\\/\b\f\n\r\t";
  if (at + 1 >= text.size()) return {};
  if (const auto simple = kFrom.find(text[at + 1]); simple != std::string_view::npos) {
    return {2, std::string(1, kTo[simple])};
  }
  const long code = text[at + 1] == 'u' ? hexQuadAt(text, at + 2) : -1;
  if (code < 0xD800 || code > 0xDFFF) return code < 0 ? Unit{} : Unit{6, utf8(code)};
  const long low = text.substr(at + 6, 2) == "\\u" ? hexQuadAt(text, at + 8) : -1;
  if (code > 0xDBFF || low < 0xDC00 || low > 0xDFFF) return {};  // a lone surrogate spells nothing
  return {12, utf8(0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00))};
}

// The escape at `at`, percent-encoded or JSON-escaped, and what it stands for.
Unit escapeAt(std::string_view text, std::size_t at) {
  if (text[at] == '+') return {1, " "};
  if (text[at] == '%' && at + 2 < text.size()) {
    const int high = hexDigitValue(text[at + 1]), low = hexDigitValue(text[at + 2]);
    if (high >= 0 && low >= 0) return {3, std::string(1, static_cast<char>(high * 16 + low))};
  }
  return text[at] == '\\' ? jsonEscape(text, at) : Unit{};
}

// The length of the stretch of `text` from `at` that spells all of `secret`, or 0.
std::size_t spelled(std::string_view text, std::size_t at, std::string_view secret) {
  std::size_t pos = at;
  for (std::size_t done = 0; done < secret.size();) {
    if (pos >= text.size()) return 0;
    if (const Unit unit = escapeAt(text, pos);
        unit.length > 0 && secret.substr(done).starts_with(unit.bytes)) {
      pos += unit.length;
      done += unit.bytes.size();
    } else if (text[pos] == secret[done]) {
      ++pos, ++done;
    } else {
      return 0;
    }
  }
  return pos - at;
}

}  // namespace

bool isSecretKey(std::string_view key) {
  return std::ranges::find(kSecretKeys, key) != std::end(kSecretKeys);
}

std::optional<std::vector<std::string>> secretValues(std::string_view configText) {
  SecretCollector collector;
  if (!Json::sax_parse(configText, &collector) || !collector.isObject) return std::nullopt;
  return std::move(collector.values);
}

std::string withoutSecrets(std::string_view text, const std::vector<std::string>& secrets) {
  std::string kept;
  std::size_t removedUntil = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    std::size_t end = at;
    for (const auto& secret : secrets) end = std::max(end, at + spelled(text, at, secret));
    if (end > at && at >= removedUntil) kept += "<removed>";
    removedUntil = std::max(removedUntil, end);
    if (at >= removedUntil) kept += text[at];
  }
  return kept;
}

}  // namespace kestrova::Diagnostics
