// The strict UTF-8 check that decides whether a tool's output is text.
#include "app/platform/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrova {
namespace {

TEST(Utf8, AcceptsWellFormedTextAndRejectsEveryIllFormedShape) {
  struct Case {
    std::string bytes;
    bool valid;
    const char* why;
  };
  const std::vector<Case> cases{
      {"", true, "empty"},
      {"plain ASCII\n\t", true, "ascii"},
      {std::string("nul\0inside", 10), true, "NUL is a character"},
      {"\xC3\xA9", true, "two bytes"},
      {"\xE2\x80\x94", true, "em dash"},
      {"\xE2\x80\xA6", true, "ellipsis"},
      {"\xEF\xBF\xBF", true, "U+FFFF"},
      {"\xF0\x9F\x8E\xA5", true, "four bytes"},
      {"\xF4\x8F\xBF\xBF", true, "U+10FFFF, the last code point"},
      {"\xED\x9F\xBF", true, "U+D7FF, just below the surrogates"},
      {"\xEE\x80\x80", true, "U+E000, just above the surrogates"},
      {"\x80", false, "stray continuation"},
      {"a\xBF", false, "stray continuation after ASCII"},
      {"\xC0\xAF", false, "overlong slash"},
      {"\xC1\xBF", false, "overlong two-byte"},
      {"\xE0\x80\xAF", false, "overlong three-byte"},
      {"\xF0\x80\x80\xAF", false, "overlong four-byte"},
      {"\xED\xA0\x80", false, "high surrogate"},
      {"\xED\xBF\xBF", false, "low surrogate"},
      {"\xF4\x90\x80\x80", false, "above U+10FFFF"},
      {"\xF5\x80\x80\x80", false, "lead byte F5"},
      {"\xFF", false, "FF"},
      {"\xFE\xFF", false, "UTF-16 byte order mark"},
      {"\xC3", false, "truncated at the end"},
      {"\xE2\x80", false, "truncated three-byte"},
      {"\xF0\x9F\x8E", false, "truncated four-byte"},
      {"\xC3(", false, "continuation replaced by ASCII"},
      {"\xE2\x28\xA1", false, "second byte not a continuation"},
      {"\xF0\x9F\x8E(", false, "last byte not a continuation"},
  };
  for (const auto& c : cases) EXPECT_EQ(isValidUtf8(c.bytes), c.valid) << c.why;
}

// The log tail of the support report keeps its lines whatever bytes they hold.
TEST(Utf8, RepairReplacesEachMaximalIllFormedSubpartWithOneReplacementCharacter) {
  const std::string r = "\xEF\xBF\xBD";
  const std::vector<std::pair<std::string, std::string>> cases{
      {"caf\xC3\xA9 \xF0\x9F\x8E\xA5\n", "caf\xC3\xA9 \xF0\x9F\x8E\xA5\n"},
      {"caf\xE9 ok\n", "caf" + r + " ok\n"},
      {"\x80\xBF", r + r},
      {"\xE2\x80(", r + "("},
      {"\xF0\x9F\x8E", r},
      {"\xC0\xAF", r + r},
      {"\xED\xA0\x80", r + r + r},
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(withReplacementCharacters(bytes), text);
}

}  // namespace
}  // namespace kestrova
