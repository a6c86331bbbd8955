// Reading inkslab's hexadecimal colour arguments.
#include <gtest/gtest.h>

#include "tools/inkslab/color.h"

namespace kestrova::inkslab {
namespace {

TEST(InkslabColor, ArgumentsReadAsAHexadecimalScannerReadsThem) {
  struct Case {
    const char* text;
    Rgba colour;
  };
  const Case cases[] = {
      {"FF8800", {255, 136, 0, 255}},
      {"ff8800", {255, 136, 0, 255}},
      {"00000080", {0, 0, 0, 128}},
      {"FF000000", {255, 0, 0, 0}},
      {"0x00FF00", {0, 0, 255, 0}},  // eight characters: red-green-blue-alpha
      {"0XFF8800", {0, 255, 136, 0}},
      {"0x0000FF00", {0, 255, 0, 255}},  // ten characters: alpha opaque, higher bits dropped
      {"#FF8800", {0, 0, 0, 255}},
      {"", {0, 0, 0, 255}},
      {"zzzzzzzz", {0, 0, 0, 0}},  // eight characters, no digits
      {"F", {0, 0, 15, 255}},
      {" \n12345", {1, 35, 69, 255}},  // leading white space and line ends are skipped
      {"  123456", {0, 18, 52, 86}},   // ...but still count towards the eight characters
      {"12x456", {0, 0, 18, 255}},     // digits stop at the first other character
      {"FFFFFFFFFFFFFFFFFF", {255, 255, 255, 255}},  // overflow reads as all ones
      {"\xC2\xA0"
       "ABCDEF",
       {171, 205, 239, 255}},  // no-break space skipped, 7 characters
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parseColor(c.text), c.colour) << '"' << c.text << '"';
  }
}

TEST(InkslabColor, CharactersCountAsTheyWouldInUtf16) {
  EXPECT_EQ(characterCount(""), 0U);
  EXPECT_EQ(characterCount("00000080"), 8U);
  EXPECT_EQ(characterCount("\xC3\xA9"
                           "0000000"),
            8U);  // é is one character
  EXPECT_EQ(characterCount("\xF0\x9F\x94\xB4"
                           "000000"),
            8U);  // an emoji is two
  EXPECT_EQ(characterCount("\xFF\xFE"
                           "000000"),
            8U);                              // stray bytes count one each
  EXPECT_EQ(characterCount("\xE2\x82"), 2U);  // a cut-off sequence too
}

}  // namespace
}  // namespace kestrova::inkslab
