// inkslab as the engine runs it, on every system: a real process, a real PNG decoded and its
// pixels checked. The layout's numbers and the argument parsers are their own unit tests; here,
// that the program paints what they decide, and what it does with a refusal or a failed write.
// Text metrics are the text library's, so ink is checked within a pixel or two of the layout.
#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/integration/inkslab_fixture.h"
#include "tests/support/system_view.h"

namespace kestrova::testing {
namespace {

namespace fs = std::filesystem;

TEST_F(InkslabTest, LinesArePaintedCentredAsLaidOutAndWiderTextIsClippedNotWrapped) {
  // White ink has full green; the smaller red line below it has none.
  const Image two = render({"0", "300", "000000", "HIH", "40", "FFFFFF", "HH", "20", "FF0000"});
  const auto white = two.ink(1);
  const auto red = two.ink(0, 1);
  EXPECT_GE(white[0], 24) << "the margin";
  EXPECT_NEAR(white[0] + white[1], two.width, 2);
  EXPECT_NEAR(red[0] + red[1], two.width, 2);
  EXPECT_GT(red[0], white[0] + 10) << "the wider first line decides the width";
  EXPECT_LT(white[2], 150);
  EXPECT_LT(white[3], red[2]);
  EXPECT_GT(red[3], 150);

  const Image narrow = render({"100", "100", "000000", "HHHHHHHHHHHH", "40", "FFFFFF"});
  const auto clipped = narrow.ink(0);
  EXPECT_EQ(narrow.width, 100);
  EXPECT_EQ(clipped[1] - clipped[0], 100);
  EXPECT_LT(clipped[3] - clipped[2], 40) << "one line of capitals, not several";
}

TEST_F(InkslabTest, ColoursArePaintedAsReadAlphaIncludedAndAnyTextRenders) {
  const std::vector<std::pair<std::string, std::array<int, 4>>> rows{
      {"FF8800", {255, 136, 0, 255}}, {"FF000000", {0, 0, 0, 0}}, {"11223344", {17, 34, 51, 68}}};
  for (const auto& [hex, rgba] : rows) {
    const Image card = render({"0", "60", hex, "HIH", "20", "FFFFFF"});
    ASSERT_EQ(card.height, 60) << hex;
    // Stored premultiplied, a translucent colour comes back within a few steps.
    const auto painted = paintedPixel(rgba);
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(card.at(0, 0)[c], painted[c], c == 3 ? 0 : 3) << hex;
  }
  for (const std::string text : {"Live \xF0\x9F\x94\xB4 \xD7\xA9\xD7\x9C\xD9\x85",
                                 "bad \xFF\xFE bytes \xC3", "two\nlines\tand a tab", ""}) {
    EXPECT_EQ(render({"0", "120", "202020", text, "48", "FFFFFF"}).height, 120) << text;
  }
}

TEST_F(InkslabTest, RefusalsPrintTheUsageAndFailedWritesExitTwoLeavingNothingBehind) {
  // Refusals only a measured text makes: wider than the largest card, or than the text library
  // can hold.
  for (const std::size_t length : {1000, 100000}) {
    EXPECT_EQ(run({sandbox.path("never.png"), "0", "200", "000000", std::string(length, 'W'), "40",
                   "FFFFFF"}),
              std::pair(std::optional(1), std::string("usage: inkslab out.png W(0=auto) H bgHex "
                                                      "text size fgHex [text2 size2 fgHex2]\n")));
  }
  sandbox.write("plain", "not a folder");
  fs::create_directory(sandbox.path("taken.png"));
  for (const std::string& out :
       {sandbox.path("missing/card.png"), sandbox.path("plain/card.png"), sandbox.path("taken.png"),
        testing::unwritableFolder() + "/inkslab-card.png"}) {
    EXPECT_EQ(run({out, "0", "100", "000000", "HIH", "30", "FFFFFF"}),
              std::pair(std::optional(2), std::string()))
        << out;
  }
  EXPECT_EQ(entriesIn(sandbox.home()), 2u) << "only plain and taken.png";

  // An existing card is replaced whole, by a file made as a new one would be; here by one whose
  // text is taller than the card, so that its ink runs to the bottom row.
  sandbox.write("card.png", std::string(100000, 'x'), fs::perms::owner_all);
  EXPECT_EQ(render({"0", "20", "336699", "HIH", "30", "FFFFFF"}).height, 20);
  EXPECT_EQ(entriesIn(sandbox.home()), 3u) << "only card.png, plain and taken.png";
  EXPECT_NE(fs::status(sandbox.path("card.png")).permissions() & fs::perms::others_read,
            fs::perms::none);
}

}  // namespace
}  // namespace kestrova::testing
