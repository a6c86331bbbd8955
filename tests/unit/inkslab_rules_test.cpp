// inkslab's pure rules: reading its command line (integers, numbers, colours, which lines a
// request holds) and where the lines go on the card.
#include <gtest/gtest.h>

#include <cmath>

#include "tools/inkslab/arguments.h"
#include "tools/inkslab/color.h"
#include "tools/inkslab/layout.h"

namespace kestrova::inkslab {
namespace {

TEST(InkslabArguments, IntegersAreASignAndDigitsWithinSixtyFourBits) {
  for (const auto& [text, value] :
       {std::pair{"+300", 300L}, {"-0", 0L}, {"007", 7L}, {"9223372036854775807", INT64_MAX}}) {
    EXPECT_EQ(parseInteger(text), value) << text;
  }
  for (const char* bad : {"", "-", "300px", " 300", "+-3", "3.0", "0x10", "9223372036854775808",
                          "-9223372036854775809"}) {
    EXPECT_FALSE(parseInteger(bad)) << bad;
  }
}

TEST(InkslabArguments, NumbersAreWholeArgumentsAsStrtodReadsThem) {
  for (const auto& [text, value] : {std::pair{"+12.5", 12.5}, {"1e2", 100.0}, {"0x10", 16.0}}) {
    EXPECT_EQ(parseNumber(text), value) << text;
  }
  EXPECT_TRUE(std::isinf(*parseNumber("inf")));
  for (const char* bad : {"", " 40", "40 ", "40px", "4,5"}) EXPECT_FALSE(parseNumber(bad)) << bad;
}

std::vector<std::string> withOut(std::vector<std::string> rest) {
  rest.insert(rest.begin(), "out.png");
  return rest;
}

TEST(InkslabArguments, AFullRequestKeepsEveryFieldAndTheSecondLineNeedsAllThree) {
  const auto request = parseArguments(withOut(
      {"0", "200", "000000", " Hello\n", "40", "FFFFFF", "World", "20.5", "FF000080", "extra"}));
  ASSERT_TRUE(request);
  EXPECT_EQ(request->outPath, "out.png");
  EXPECT_EQ(request->height, 200);
  EXPECT_EQ(request->background, (Rgba{0, 0, 0, 255}));
  ASSERT_EQ(request->lines.size(), 2U);
  EXPECT_EQ(request->lines[0].text, " Hello\n");  // text is kept as given
  EXPECT_EQ(request->lines[1].size, 20.5);
  EXPECT_EQ(request->lines[1].col, (Rgba{255, 0, 0, 128}));
  const std::vector<std::string> first = {"0", "200", "000000", "Hello", "40", "FFFFFF"};
  for (const auto& [extra, lines] :
       {std::pair<std::vector<std::string>, std::size_t>{{"World", "20"}, 1},
        {{"World", "abc", "FF0000"}, 1},
        {{"World", "0", "FF0000"}, 1},
        {{"", "20", ""}, 2}}) {
    auto args = withOut(first);
    args.insert(args.end(), extra.begin(), extra.end());
    EXPECT_EQ(parseArguments(args).value().lines.size(), lines) << extra[1];
  }
}

TEST(InkslabArguments, UnusableRequestsAreRefused) {
  const std::vector<std::vector<std::string>> cases = {
      {"0", "200", "000000", "Hello", "40"},  // six arguments after the path
      {"300px", "200", "000000", "Hello", "40", "FFFFFF"},
      {"-1", "200", "000000", "Hello", "40", "FFFFFF"},  // cannot be drawn
      {"0", "0", "000000", "Hello", "40", "FFFFFF"},
      {"16385", "10", "000000", "Hello", "40", "FFFFFF"},
      {"10", "16385", "000000", "Hello", "40", "FFFFFF"},
      {"8000", "8000", "000000", "Hello", "40", "FFFFFF"},  // beyond the pixel budget
      {"0", "200", "000000", "Hello", "-40", "FFFFFF"},
      {"0", "200", "000000", "Hello", "16385", "FFFFFF"},
  };
  for (const auto& args : cases) {
    EXPECT_FALSE(parseArguments(withOut(args))) << ::testing::PrintToString(args);
  }
  EXPECT_TRUE(parseArguments(withOut({"16384", "2048", "0", "", "16384", "0"})));
}

TEST(InkslabColor, ArgumentsReadAsAHexadecimalScannerReadsThem) {
  const std::pair<const char*, Rgba> cases[] = {
      {"ff8800", {255, 136, 0, 255}},
      {"FF000080", {255, 0, 0, 128}},
      {"0x00FF00", {0, 0, 255, 0}},      // eight characters: red-green-blue-alpha
      {"0x0000FF00", {0, 255, 0, 255}},  // ten: alpha opaque, higher bits dropped
      {"#FF8800", {0, 0, 0, 255}},
      {"zzzzzzzz", {0, 0, 0, 0}},
      {" \n12345", {1, 35, 69, 255}},  // leading white space is skipped...
      {"  123456", {0, 18, 52, 86}},   // ...but still counts towards the eight characters
      {"12x456", {0, 0, 18, 255}},     // digits stop at the first other character
      {"FFFFFFFFFFFFFFFFFF", {255, 255, 255, 255}},  // overflow reads as all ones
      {"\xC2\xA0"
       "ABCDEF",
       {171, 205, 239, 255}},  // no-break space skipped, 7 characters
  };
  for (const auto& [text, colour] : cases) EXPECT_EQ(parseColor(text), colour) << '"' << text;
  // Characters count as they would in UTF-16; stray and cut-off bytes count one each.
  for (const auto& [text, count] : {std::pair{"\xC3\xA9"
                                              "0000000",
                                              8U},
                                    {"\xF0\x9F\x94\xB4"
                                     "000000",
                                     8U},
                                    {"\xFF\xFE"
                                     "000000",
                                     8U},
                                    {"\xE2\x82", 2U}}) {
    EXPECT_EQ(characterCount(text), count) << text;
  }
}

TEST(InkslabLayout, AutomaticWidthIsTheWidestLineRoundedUpPlus48) {
  const std::vector<LineMetrics> lines = {{97.2, 40}, {120.0, 20}};
  EXPECT_EQ(cardWidth(0, lines, 16384), 168);
  EXPECT_EQ(cardWidth(1920, lines, 16384), 1920) << "a given width is kept";
  EXPECT_EQ(cardWidth(0, std::vector<LineMetrics>{{16336.0, 40}}, 16384), 16384);
  EXPECT_FALSE(cardWidth(0, std::vector<LineMetrics>{{16336.5, 40}}, 16384));
}

TEST(InkslabLayout, LinesAreCentredAsOneBlockEachCentredOnItsOwn) {
  const auto one = placeLines(300.0, 200.0, std::vector<LineMetrics>{{100.0, 40}});
  ASSERT_EQ(one.size(), 1U);
  EXPECT_DOUBLE_EQ(one[0].x, 100.0);
  EXPECT_DOUBLE_EQ(one[0].baseline, 200.0 - (100.0 - 0.22 * 52.0));
  const double height = 1080.0, h1 = 96 * 1.3, h2 = 48 * 1.3, total = h1 + h2;
  const auto two = placeLines(1920.0, height, std::vector<LineMetrics>{{801.5, 96}, {400.25, 48}});
  ASSERT_EQ(two.size(), 2U);
  EXPECT_DOUBLE_EQ(two[0].baseline, height - ((height + total) / 2 - 0.72 * h1));
  EXPECT_DOUBLE_EQ(two[1].baseline, height - ((height - total) / 2 + 0.28 * h2));
  EXPECT_DOUBLE_EQ(two[1].x, (1920.0 - 400.25) / 2);
  // Text wider than the card starts left of it, to be cut off at both edges.
  EXPECT_LT(placeLines(100.0, 50.0, std::vector<LineMetrics>{{300.0, 20}})[0].x, 0.0);
}

}  // namespace
}  // namespace kestrova::inkslab
