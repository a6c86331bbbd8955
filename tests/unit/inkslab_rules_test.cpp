// inkslab's pure rules: reading its command line (integers, numbers, colours, which lines a
// request holds) and where the lines go on the card. The rendering test shows them drawn.
#include <gtest/gtest.h>

#include <cmath>

#include "tools/inkslab/arguments.h"
#include "tools/inkslab/color.h"
#include "tools/inkslab/layout.h"

namespace kestrova::inkslab {
namespace {

TEST(InkslabArguments, IntegersAndNumbersUseUpTheWholeArgument) {
  EXPECT_EQ(parseInteger("+007"), 7);
  EXPECT_EQ(parseInteger("9223372036854775807"), INT64_MAX);
  for (const char* bad : {"", "-", " 3", "+-3", "3.0", "9223372036854775808"}) {
    EXPECT_FALSE(parseInteger(bad)) << bad;
  }
  EXPECT_EQ(parseNumber("1e2"), 100.0);
  EXPECT_EQ(parseNumber("0x10"), 16.0);
  EXPECT_TRUE(std::isinf(*parseNumber("inf")));
  for (const char* bad : {"", " 40", "40 ", "4,5"}) EXPECT_FALSE(parseNumber(bad)) << bad;
}

// The second line needs all three of its arguments and a drawable size; empty text or colour
// still count, and the text is kept byte for byte. The rendering test shows the fields drawn.
TEST(InkslabArguments, TheSecondLineOnlyWhenComplete) {
  const auto lines = [](std::vector<std::string> second) {
    std::vector<std::string> args = {"out.png", "0", "200", "000000", " Hi\n", "40", "FFFFFF"};
    args.insert(args.end(), second.begin(), second.end());
    return parseArguments(args).value().lines;
  };
  const auto two = lines({"", "20.5", ""});
  ASSERT_EQ(two.size(), 2U);
  EXPECT_EQ(two[0].text, " Hi\n");
  EXPECT_EQ(two[1].size, 20.5);
  EXPECT_EQ(lines({"W", "20"}).size(), 1U);
  EXPECT_EQ(lines({"W", "0", "FF0000"}).size(), 1U);
}

// A missing colour, a card within every side limit but beyond the pixel budget, and a side and
// a size one past their limits; the fuzzer shows that nothing accepted is out of range.
TEST(InkslabArguments, CardsThatCannotBeDrawnAreRefused) {
  using Args = std::vector<std::string>;
  for (const Args& args :
       {Args{"o", "0", "200", "0", "Hello", "40"}, Args{"o", "8000", "8000", "0", "", "40", "0"},
        Args{"o", "16385", "10", "0", "", "40", "0"}, Args{"o", "0", "200", "0", "", "16385", "0"},
        Args{"o", "0", "0", "0", "", "40", "0"}}) {
    EXPECT_FALSE(parseArguments(args)) << args[1] << ' ' << args[2] << ' ' << args[5];
  }
  EXPECT_TRUE(parseArguments(Args{"o", "16384", "2048", "0", "", "16384", "0"}));
}

TEST(InkslabColor, ArgumentsReadAsAHexadecimalScannerReadsThem) {
  const std::pair<const char*, Rgba> cases[] = {
      {"0x00FF00", {0, 0, 255, 0}},      // eight characters: red-green-blue-alpha
      {"0x0000FF00", {0, 255, 0, 255}},  // ten: alpha opaque, higher bits dropped
      {"#FF8800", {0, 0, 0, 255}},
      {"zzzzzzzz", {0, 0, 0, 0}},
      {"12x456", {0, 0, 18, 255}},             // digits stop at the first other character
      {"\u00A0ABCDEF", {171, 205, 239, 255}},  // no-break space skipped, 7 characters
  };
  for (const auto& [text, colour] : cases) EXPECT_EQ(parseColor(text), colour) << '"' << text;
}

// The Mac's text library takes UTF-16: any bytes reach it, each invalid one as U+FFFD.
TEST(InkslabText, Utf16KeepsEveryCharacterAndReplacesEachInvalidByte) {
  EXPECT_EQ(utf16Text("a\xC3\xA9\xF0\x9F\x94\xB4\xFF\xC3"), u"a\u00E9\U0001F534\uFFFD\uFFFD");
}

TEST(InkslabLayout, WidthAndBaselines) {
  const std::vector<LineMetrics> lines = {{97.2, 40}, {120.0, 20}};
  EXPECT_EQ(cardWidth(0, lines, 16384), 168);  // the widest line rounded up, plus 48
  EXPECT_EQ(cardWidth(0, std::vector<LineMetrics>{{16336.0, 40}}, 16384), 16384);
  EXPECT_FALSE(cardWidth(0, std::vector<LineMetrics>{{16336.5, 40}}, 16384));
  // The lines are centred as one block, each on its own.
  const double height = 1080.0, h1 = 96 * 1.3, h2 = 48 * 1.3, total = h1 + h2;
  const auto two = placeLines(1920.0, height, std::vector<LineMetrics>{{801.5, 96}, {400.25, 48}});
  ASSERT_EQ(two.size(), 2U);
  EXPECT_DOUBLE_EQ(two[0].baseline, height - ((height + total) / 2 - 0.72 * h1));
  EXPECT_DOUBLE_EQ(two[1].baseline, height - ((height - total) / 2 + 0.28 * h2));
  EXPECT_DOUBLE_EQ(two[1].x, (1920.0 - 400.25) / 2);
}

}  // namespace
}  // namespace kestrova::inkslab
