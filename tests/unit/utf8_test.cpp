// The strict UTF-8 check that decides whether a tool's output is text.
#include "app/platform/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrova {
namespace {

TEST(Utf8, AcceptsWellFormedTextAndRejectsEveryIllFormedShape) {
  // ASCII with NUL, two to four bytes, and the code points around the surrogates and at the end.
  for (const std::string& valid : std::vector<std::string>{
           "", std::string("a\0b", 3), "\xC3\xA9", "\xE2\x80\x94", "\xF0\x9F\x8E\xA5",
           "\xED\x9F\xBF", "\xEE\x80\x80", "\xEF\xBF\xBF", "\xF4\x8F\xBF\xBF"}) {
    EXPECT_TRUE(isValidUtf8(valid)) << valid;
  }
  // Stray continuations, overlong forms, surrogates, beyond U+10FFFF, bytes never used, cut-off
  // sequences and sequences whose continuation is missing.
  for (const std::string invalid :
       {"\x80", "a\xBF", "\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF", "\xF0\x80\x80\xAF", "\xED\xA0\x80",
        "\xED\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF", "\xFE\xFF", "\xC3",
        "\xE2\x80", "\xF0\x9F\x8E", "\xC3(", "\xE2\x28\xA1", "\xF0\x9F\x8E("}) {
    EXPECT_FALSE(isValidUtf8(invalid)) << invalid;
  }
}

}  // namespace
}  // namespace kestrova
