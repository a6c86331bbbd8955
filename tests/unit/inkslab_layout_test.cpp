// Where inkslab puts its lines: automatic width and the closed-form vertical layout.
#include <gtest/gtest.h>

#include <vector>

#include "tools/inkslab/layout.h"

namespace kestrova::inkslab {
namespace {

TEST(InkslabLayout, AutomaticWidthIsTheWidestLineRoundedUpPlus48) {
  const std::vector<LineMetrics> lines = {{97.2, 40}, {120.0, 20}};
  EXPECT_EQ(cardWidth(0, lines, 16384), 168);
  EXPECT_EQ(cardWidth(0, std::vector<LineMetrics>{{97.2, 40}}, 16384), 146);
  EXPECT_EQ(cardWidth(0, std::vector<LineMetrics>{{0.0, 40}}, 16384), 48);
  EXPECT_EQ(cardWidth(1920, lines, 16384), 1920) << "a given width is kept, text or not";
  EXPECT_EQ(cardWidth(0, std::vector<LineMetrics>{{16336.0, 40}}, 16384), 16384);
  EXPECT_FALSE(cardWidth(0, std::vector<LineMetrics>{{16336.5, 40}}, 16384));
}

TEST(InkslabLayout, OneLineSitsAtHalfTheHeightLessPoint22OfItsLineHeight) {
  const std::vector<LineMetrics> lines = {{100.0, 40}};
  const auto placed = placeLines(300.0, 200.0, lines);
  ASSERT_EQ(placed.size(), 1U);
  EXPECT_DOUBLE_EQ(placed[0].x, 100.0);
  EXPECT_DOUBLE_EQ(placed[0].baseline, 200.0 - (100.0 - 0.22 * 52.0));
}

TEST(InkslabLayout, TwoLinesAreCentredAsOneBlockEachCentredOnItsOwn) {
  const double height = 1080.0;
  const std::vector<LineMetrics> lines = {{801.5, 96}, {400.25, 48}};
  const auto placed = placeLines(1920.0, height, lines);
  ASSERT_EQ(placed.size(), 2U);
  const double h1 = 96 * 1.3, h2 = 48 * 1.3, total = h1 + h2;
  EXPECT_DOUBLE_EQ(placed[0].baseline, height - ((height + total) / 2 - 0.72 * h1));
  EXPECT_DOUBLE_EQ(placed[1].baseline, height - ((height - total) / 2 + 0.28 * h2));
  EXPECT_DOUBLE_EQ(placed[0].x, (1920.0 - 801.5) / 2);
  EXPECT_DOUBLE_EQ(placed[1].x, (1920.0 - 400.25) / 2);
  // Text wider than the card starts left of it, to be cut off at both edges.
  EXPECT_LT(placeLines(100.0, 50.0, std::vector<LineMetrics>{{300.0, 20}})[0].x, 0.0);
}

}  // namespace
}  // namespace kestrova::inkslab
