// Reading inkslab's command line: integers, numbers and which lines a request holds.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tools/inkslab/arguments.h"

namespace kestrova::inkslab {
namespace {

TEST(InkslabArguments, IntegersAreASignAndDigitsWithinSixtyFourBits) {
  EXPECT_EQ(parseInteger("300"), 300);
  EXPECT_EQ(parseInteger("+300"), 300);
  EXPECT_EQ(parseInteger("-0"), 0);
  EXPECT_EQ(parseInteger("007"), 7);
  EXPECT_EQ(parseInteger("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(parseInteger("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
  for (const char* bad : {"", "+", "-", "300px", " 300", "300 ", "+-3", "3.0", "0x10",
                          "9223372036854775808", "-9223372036854775809", "١٢"}) {
    EXPECT_FALSE(parseInteger(bad)) << bad;
  }
}

TEST(InkslabArguments, NumbersAreWholeArgumentsAsStrtodReadsThem) {
  EXPECT_EQ(parseNumber("40"), 40.0);
  EXPECT_EQ(parseNumber("+12.5"), 12.5);
  EXPECT_EQ(parseNumber("1e2"), 100.0);
  EXPECT_EQ(parseNumber("0x10"), 16.0);
  EXPECT_EQ(parseNumber(".5"), 0.5);
  EXPECT_TRUE(std::isinf(*parseNumber("inf")));
  for (const char* bad : {"", " 40", "\t40", "40 ", "40px", "abc", "4,5", "--4"}) {
    EXPECT_FALSE(parseNumber(bad)) << bad;
  }
}

std::vector<std::string> withOut(std::vector<std::string> rest) {
  rest.insert(rest.begin(), "out.png");
  return rest;
}

TEST(InkslabArguments, AFullRequestKeepsEveryField) {
  const auto args = withOut(
      {"0", "200", "000000", "Hello", "40", "FFFFFF", "World", "20.5", "FF000080", "ignored"});
  const auto request = parseArguments(args);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->outPath, "out.png");
  EXPECT_EQ(request->width, 0);
  EXPECT_EQ(request->height, 200);
  EXPECT_EQ(request->background, (Rgba{0, 0, 0, 255}));
  ASSERT_EQ(request->lines.size(), 2U);
  EXPECT_EQ(request->lines[0].text, "Hello");
  EXPECT_EQ(request->lines[0].size, 40.0);
  EXPECT_EQ(request->lines[0].col, (Rgba{255, 255, 255, 255}));
  EXPECT_EQ(request->lines[1].text, "World");
  EXPECT_EQ(request->lines[1].size, 20.5);
  EXPECT_EQ(request->lines[1].col, (Rgba{255, 0, 0, 128}));
}

TEST(InkslabArguments, TheSecondLineNeedsAllThreeArgumentsAndADrawableSize) {
  const std::vector<std::string> first = {"0", "200", "000000", " Hello\n", "40", "FFFFFF"};
  struct Case {
    std::vector<std::string> extra;
    std::size_t lines;
  };
  const Case cases[] = {
      {{}, 1},
      {{"World"}, 1},
      {{"World", "20"}, 1},
      {{"World", "abc", "FF0000"}, 1},
      {{"World", "0", "FF0000"}, 1},
      {{"World", "nan", "FF0000"}, 1},
      {{"World", "20", "FF0000"}, 2},
      {{"", "20", ""}, 2},
  };
  for (const Case& c : cases) {
    auto args = withOut(first);
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const auto request = parseArguments(args);
    ASSERT_TRUE(request) << ::testing::PrintToString(c.extra);
    EXPECT_EQ(request->lines.size(), c.lines) << ::testing::PrintToString(c.extra);
    EXPECT_EQ(request->lines[0].text, " Hello\n") << "text is kept as given";
  }
}

TEST(InkslabArguments, UnusableRequestsAreRefused) {
  const std::vector<std::vector<std::string>> cases = {
      {"0", "200", "000000", "Hello", "40"},  // six arguments after the path
      {"300px", "200", "000000", "Hello", "40", "FFFFFF"},
      {"0", "2OO", "000000", "Hello", "40", "FFFFFF"},
      {"0", "200", "000000", "Hello", "big", "FFFFFF"},
      {"-1", "200", "000000", "Hello", "40", "FFFFFF"},  // cannot be drawn
      {"0", "0", "000000", "Hello", "40", "FFFFFF"},
      {"0", "-200", "000000", "Hello", "40", "FFFFFF"},
      {"16385", "10", "000000", "Hello", "40", "FFFFFF"},
      {"10", "16385", "000000", "Hello", "40", "FFFFFF"},
      {"8000", "8000", "000000", "Hello", "40", "FFFFFF"},  // beyond the pixel budget
      {"0", "200", "000000", "Hello", "-40", "FFFFFF"},
      {"0", "200", "000000", "Hello", "inf", "FFFFFF"},
      {"0", "200", "000000", "Hello", "16385", "FFFFFF"},
  };
  for (const auto& args : cases) {
    EXPECT_FALSE(parseArguments(withOut(args))) << ::testing::PrintToString(args);
  }
  EXPECT_FALSE(parseArguments(std::vector<std::string>{}));
  EXPECT_TRUE(parseArguments(withOut({"16384", "2048", "0", "", "16384", "0"})));
}

}  // namespace
}  // namespace kestrova::inkslab
