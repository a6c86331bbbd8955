// inkslab as the engine runs it: a real process, a real PNG decoded and its pixels checked. The
// layout's numbers and the argument parsers are their own unit tests; here, that the program
// paints what they decide, and what it does with a refusal or a failed write.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/sandbox.h"

namespace kestrova::testing {
namespace {

namespace fs = std::filesystem;

const std::string kProgram = KESTROVA_ENGINE_RUNTIME_DIR "/inkslab";

struct Outcome {
  std::optional<int> status;
  std::string out;
  std::string err;
};

struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;  // straight alpha
  [[nodiscard]] const std::uint8_t* at(int x, int y) const {
    return rgba.data() + 4 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                              static_cast<std::size_t>(x));
  }
};

// Where a colour channel's ink lies (at least half on); right and bottom exclusive.
struct Box {
  int left, right, top, bottom;
  [[nodiscard]] double centreX() const { return (left + right) / 2.0; }
};

std::optional<Image> decode(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return std::nullopt;
  image.format = PNG_FORMAT_RGBA;
  Image decoded{static_cast<int>(image.width), static_cast<int>(image.height),
                std::vector<std::uint8_t>(PNG_IMAGE_SIZE(image))};
  if (png_image_finish_read(&image, nullptr, decoded.rgba.data(), 0, nullptr) == 0) {
    png_image_free(&image);
    return std::nullopt;
  }
  return decoded;
}

std::optional<Box> inkBox(const Image& image, int channel) {
  Box box{image.width, 0, image.height, 0};
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      if (image.at(x, y)[channel] >= 128) {
        box = {std::min(box.left, x), std::max(box.right, x + 1), std::min(box.top, y),
               std::max(box.bottom, y + 1)};
      }
    }
  }
  return box.left < box.right ? std::optional(box) : std::nullopt;
}

class InkslabTest : public ::testing::Test {
 protected:
  Outcome run(std::vector<std::string> args) const {
    args.insert(args.begin(), kProgram);
    ChildProcess child({.argv = args,
                        .stdoutPath = sandbox.path(".stdout"),
                        .stderrPath = sandbox.path(".stderr")});
    Outcome result{child.wait(30), sandbox.read(".stdout"), sandbox.read(".stderr")};
    fs::remove(sandbox.path(".stdout"));
    fs::remove(sandbox.path(".stderr"));
    return result;
  }
  // Renders a card that must succeed quietly, and decodes it.
  Image render(std::vector<std::string> args) const {
    args.insert(args.begin(), sandbox.path("card.png"));
    const Outcome result = run(args);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out + result.err, "");
    return decode(sandbox.path("card.png")).value_or(Image{});
  }
  [[nodiscard]] std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(sandbox.home())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  Sandbox sandbox;
};

TEST_F(InkslabTest, LinesAreCentredAsOneBlockAndWiderTextIsClippedNotWrapped) {
  const Image one = render({"0", "200", "000000", "HIH", "40", "FFFFFF"});
  ASSERT_EQ(one.height, 200);
  const auto ink = inkBox(one, 0);
  ASSERT_TRUE(ink);
  EXPECT_NEAR(ink->centreX(), one.width / 2.0, 1.0);
  EXPECT_GE(ink->left, 24);  // the margin
  EXPECT_EQ(one.at(0, 0)[3], 255);

  // White ink has full green; the smaller red line below it has none.
  const Image two = render({"0", "300", "000000", "HIH", "40", "FFFFFF", "HH", "20", "FF0000"});
  const auto first = inkBox(two, 1);
  Image redOnly = two;
  for (std::size_t i = 0; i < redOnly.rgba.size(); i += 4) {
    if (redOnly.rgba[i + 1] >= 128) redOnly.rgba[i] = 0;
  }
  const auto second = inkBox(redOnly, 0);
  ASSERT_TRUE(first && second);
  EXPECT_LT(first->bottom, second->top);
  EXPECT_LT(first->top, 150);
  EXPECT_GT(second->bottom, 150);
  EXPECT_NEAR(second->centreX(), two.width / 2.0, 1.0);
  EXPECT_GT(second->left, first->left + 10) << "the wider first line decides the width";

  const Image wide = render({"1920", "200", "000000", "HIH", "40", "FFFFFF"});
  ASSERT_EQ(wide.width, 1920);
  EXPECT_NEAR(inkBox(wide, 0).value_or(Box{}).centreX(), 960.0, 1.0);
  const Image narrow = render({"100", "100", "000000", "HHHHHHHHHHHH", "40", "FFFFFF"});
  const auto clipped = inkBox(narrow, 0);
  ASSERT_TRUE(clipped);
  EXPECT_EQ(narrow.width, 100);
  EXPECT_EQ(clipped->right - clipped->left, 100);
  EXPECT_LT(clipped->bottom - clipped->top, 40) << "one line of capitals, not several";
}

TEST_F(InkslabTest, ColoursArePaintedAsReadAlphaIncluded) {
  const struct {
    const char* hex;
    std::uint8_t r, g, b, a;
  } rows[] = {{"FF8800", 255, 136, 0, 255}, {"FF000000", 0, 0, 0, 0}, {"11223344", 17, 34, 51, 68}};
  for (const auto& row : rows) {
    const Image card = render({"0", "60", row.hex, "HIH", "20", "FFFFFF"});
    ASSERT_FALSE(card.rgba.empty()) << row.hex;
    const std::uint8_t* corner = card.at(0, 0);
    EXPECT_EQ(corner[3], row.a) << row.hex;
    // Stored premultiplied, a translucent colour comes back within a step or two.
    EXPECT_NEAR(corner[0], row.r, 2) << row.hex;
    EXPECT_NEAR(corner[1], row.g, 2) << row.hex;
    EXPECT_NEAR(corner[2], row.b, 2) << row.hex;
  }
  const Image blended = render({"0", "100", "000000", "HIH", "60", "00FF0080"});
  std::uint8_t brightest = 0;
  for (std::size_t i = 0; i < blended.rgba.size(); i += 4) {
    EXPECT_EQ(blended.rgba[i + 3], 255);
    brightest = std::max(brightest, blended.rgba[i + 1]);
  }
  EXPECT_NEAR(brightest, 128, 2);
}

// Besides the parser's refusals, those only a measured text can make: automatic widths beyond
// the largest card, and one beyond what Pango's units can hold.
TEST_F(InkslabTest, UnusableArgumentsPrintTheUsageLineOnly) {
  const std::string out = sandbox.path("never.png");
  const std::vector<std::vector<std::string>> cases = {
      {},
      {out, "300px", "200", "000000", "Hello", "40", "FFFFFF"},
      {out, "0", "200", "000000", std::string(1000, 'W'), "40", "FFFFFF"},
      {out, "0", "200", "000000", std::string(100000, 'W'), "40", "FFFFFF"},
  };
  for (const auto& args : cases) {
    const Outcome result = run(args);
    EXPECT_EQ(result.status, 1) << args.size();
    EXPECT_EQ(result.err,
              "usage: inkslab out.png W(0=auto) H bgHex text size fgHex [text2 size2 fgHex2]\n");
    EXPECT_EQ(result.out, "");
  }
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(InkslabTest, OptionalArgumentsAreUsedOnlyWhenCompleteAndAnyTextRenders) {
  const std::vector<std::string> base{"0", "200", "000000", "HIH", "40", "FFFFFF"};
  const auto with = [&](std::vector<std::string> extra) {
    extra.insert(extra.begin(), base.begin(), base.end());
    return render(extra).rgba;
  };
  const auto one = with({});
  const auto two = with({"HH", "30", "FF0000"});
  EXPECT_NE(one, two);
  EXPECT_TRUE(with({"HH", "abc", "FF0000"}) == one) << "an incomplete second line is left out";
  EXPECT_TRUE(with({"HH", "30", "FF0000", "x", "9"}) == two) << "arguments beyond it are ignored";
  for (const std::string text : {"Live \xF0\x9F\x94\xB4 \xD7\xA9\xD7\x9C\xD9\x85",
                                 "bad \xFF\xFE bytes \xC3", "two\nlines\tand a tab", ""}) {
    EXPECT_EQ(render({"0", "120", "202020", text, "48", "FFFFFF"}).height, 120) << text;
  }
  EXPECT_EQ(render({"0", "120", "202020", "x", "16384", "FFFFFF"}).height, 120);
}

TEST_F(InkslabTest, FailedWritesExitTwoAndLeaveNothingWhileAnExistingFileIsReplacedWhole) {
  sandbox.write("plain", "not a folder");
  fs::create_directory(sandbox.path("taken.png"));
  for (const std::string& out :
       {sandbox.path("missing/card.png"), sandbox.path("plain/card.png"), sandbox.path("taken.png"),
        std::string("/proc/inkslab-card.png")}) {
    const Outcome result = run({out, "0", "100", "000000", "HIH", "30", "FFFFFF"});
    EXPECT_EQ(result.status, 2) << out;
    EXPECT_EQ(result.out + result.err, "") << out;
  }
  EXPECT_EQ(entries(), (std::vector<std::string>{"plain", "taken.png"}));
  EXPECT_EQ(sandbox.read("plain"), "not a folder");

  sandbox.write("card.png", std::string(100000, 'x'));
  EXPECT_EQ(render({"0", "80", "336699", "HIH", "30", "FFFFFF"}).height, 80);
  EXPECT_EQ(entries(), (std::vector<std::string>{"card.png", "plain", "taken.png"}));
  EXPECT_NE(fs::status(sandbox.path("card.png")).permissions() & fs::perms::others_read,
            fs::perms::none)
      << "made as a new file would be";
}

}  // namespace
}  // namespace kestrova::testing
