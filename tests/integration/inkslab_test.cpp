// inkslab as the engine runs it: a real process, a real PNG decoded and its pixels checked.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/sandbox.h"

extern char** environ;

namespace {

using kestrova::testing::readFile;

namespace fs = std::filesystem;

const std::string kProgram = KESTROVA_ENGINE_RUNTIME_DIR "/inkslab";
const std::string kUsage =
    "usage: inkslab out.png W(0=auto) H bgHex text size fgHex [text2 size2 fgHex2]\n";

struct Outcome {
  int status = -1;
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

// Where a colour channel's ink lies, counting a pixel in when the channel is at least half on.
struct Box {
  int left = 0, right = 0, top = 0, bottom = 0;  // right and bottom exclusive
  [[nodiscard]] double centreX() const { return (left + right) / 2.0; }
};

std::optional<Image> decode(const fs::path& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
    return std::nullopt;
  }
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
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "inkslab-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { fs::remove_all(folder_); }

  [[nodiscard]] fs::path path(const std::string& name) const { return folder_ / name; }

  // Runs inkslab with the arguments after its name, collecting its status and both outputs.
  Outcome run(const std::vector<std::string>& args) const {
    std::vector<std::string> all{kProgram};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const fs::path out = folder_ / ".stdout", err = folder_ / ".stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    Outcome result;
    if (posix_spawn(&pid, kProgram.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
      int status = 0;
      waitpid(pid, &status, 0);
      result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = readFile(out);
    result.err = readFile(err);
    fs::remove(out);
    fs::remove(err);
    return result;
  }

  // Renders a card that must succeed quietly, and decodes it.
  Image render(std::vector<std::string> args) const {
    const fs::path file = path("card.png");
    args.insert(args.begin(), file.string());
    const Outcome result = run(args);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    auto image = decode(file);
    EXPECT_TRUE(image.has_value());
    return image.value_or(Image{});
  }

  // Entries of the test folder other than the given ones.
  [[nodiscard]] std::vector<std::string> strayFiles(const std::vector<std::string>& known) const {
    std::vector<std::string> stray;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      const std::string name = entry.path().filename().string();
      if (std::find(known.begin(), known.end(), name) == known.end()) stray.push_back(name);
    }
    return stray;
  }

  fs::path folder_;
};

// "HIH" is symmetric, so its ink is centred where its advance is.
TEST_F(InkslabTest, AutomaticWidthCentresOneLineAroundTheClosedFormBaseline) {
  const Image card = render({"0", "200", "000000", "HIH", "40", "FFFFFF"});
  ASSERT_EQ(card.height, 200);
  const auto ink = inkBox(card, 0);
  ASSERT_TRUE(ink);
  EXPECT_NEAR(ink->centreX(), card.width / 2.0, 1.0);
  // 24 pixels of margin each side, plus half of the rounding and the letters' side bearings.
  EXPECT_GE(ink->left, 24);
  EXPECT_LE(ink->left, 24 + 1 + 40 / 10);
  // The baseline is H/2 - 0.22 * 1.3 * size above the lower edge; "HIH" sits on it.
  EXPECT_NEAR(ink->bottom, 200 - (100 - 0.22 * 52), 1.0);
  EXPECT_NEAR(ink->bottom - ink->top, 0.73 * 40, 2.5) << "cap height of a medium sans face";
  EXPECT_EQ(card.at(0, 0)[3], 255);
}

TEST_F(InkslabTest, TwoLinesOfDifferentSizesStackAsOneCentredBlock) {
  const Image card = render({"0", "300", "000000", "HIH", "40", "FFFFFF", "HH", "20", "FF0000"});
  // White ink has full green; the red line has none.
  const auto first = inkBox(card, 1);
  ASSERT_TRUE(first);
  Image redOnly = card;
  for (std::size_t i = 0; i < redOnly.rgba.size(); i += 4) {
    if (redOnly.rgba[i + 1] >= 128) redOnly.rgba[i] = 0;
  }
  const auto second = inkBox(redOnly, 0);
  ASSERT_TRUE(second);
  const double h1 = 52, h2 = 26, total = h1 + h2;
  EXPECT_NEAR(first->bottom, 300 - ((300 + total) / 2 - 0.72 * h1), 1.0);
  EXPECT_NEAR(second->bottom, 300 - ((300 - total) / 2 + 0.28 * h2), 1.0);
  EXPECT_NEAR(first->centreX(), card.width / 2.0, 1.0);
  EXPECT_NEAR(second->centreX(), card.width / 2.0, 1.0);
  // The wider first line decides the width.
  EXPECT_LE(first->left, 24 + 5);
  EXPECT_GT(second->left, first->left + 10);
}

TEST_F(InkslabTest, FixedWidthCentresTheLineAndWiderTextIsClippedNotWrapped) {
  const Image wide = render({"1920", "200", "000000", "HIH", "40", "FFFFFF"});
  ASSERT_EQ(wide.width, 1920);
  const auto centred = inkBox(wide, 0);
  ASSERT_TRUE(centred);
  EXPECT_NEAR(centred->centreX(), 960.0, 1.0);

  const Image narrow = render({"100", "100", "000000", "HHHHHHHHHHHH", "40", "FFFFFF"});
  ASSERT_EQ(narrow.width, 100);
  const auto clipped = inkBox(narrow, 0);
  ASSERT_TRUE(clipped);
  EXPECT_EQ(clipped->left, 0);
  EXPECT_EQ(clipped->right, 100);
  EXPECT_LT(clipped->bottom - clipped->top, 40) << "one line of capitals, not several";
}

// How the argument is read is the colour parser's test; here, that the colour read is the
// colour painted, alpha included.
TEST_F(InkslabTest, BackgroundColoursArePaintedAsRead) {
  struct Case {
    const char* hex;
    std::uint8_t r, g, b, a;
  };
  const Case cases[] = {
      {"FF8800", 255, 136, 0, 255},
      {"FF000000", 0, 0, 0, 0},  // transparent: no colour left
      {"11223344", 0x11, 0x22, 0x33, 0x44},
  };
  for (const Case& c : cases) {
    const Image card = render({"0", "60", c.hex, "HIH", "20", "FFFFFF"});
    ASSERT_FALSE(card.rgba.empty()) << c.hex;
    const std::uint8_t* corner = card.at(0, 0);
    EXPECT_EQ(corner[3], c.a) << c.hex;
    // Stored premultiplied, a translucent colour comes back within a step or two.
    EXPECT_NEAR(corner[0], c.r, 2) << c.hex;
    EXPECT_NEAR(corner[1], c.g, 2) << c.hex;
    EXPECT_NEAR(corner[2], c.b, 2) << c.hex;
  }
}

TEST_F(InkslabTest, TextColourWithAlphaBlendsOntoTheBackground) {
  const Image card = render({"0", "100", "000000", "HIH", "60", "00FF0080"});
  std::uint8_t brightest = 0;
  for (std::size_t i = 0; i < card.rgba.size(); i += 4) {
    EXPECT_EQ(card.rgba[i + 3], 255);
    EXPECT_EQ(card.rgba[i], 0);
    brightest = std::max(brightest, card.rgba[i + 1]);
  }
  EXPECT_NEAR(brightest, 128, 2);
}

// Which requests the parser refuses is its own test; here, what the program does with one, and
// the refusals only a measured text can make: automatic widths beyond the largest card, one
// beyond what Pango's units can hold.
TEST_F(InkslabTest, UnusableArgumentsPrintTheUsageLineOnly) {
  const std::string out = path("never.png").string();
  const std::vector<std::vector<std::string>> cases = {
      {},
      {out, "300px", "200", "000000", "Hello", "40", "FFFFFF"},
      {out, "0", "200", "000000", std::string(1000, 'W'), "40", "FFFFFF"},
      {out, "0", "200", "000000", std::string(100000, 'W'), "40", "FFFFFF"},
  };
  for (const auto& args : cases) {
    const Outcome result = run(args);
    EXPECT_EQ(result.status, 1) << ::testing::PrintToString(args);
    EXPECT_EQ(result.err, kUsage);
    EXPECT_EQ(result.out, "");
  }
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(InkslabTest, OptionalArgumentsAreUsedOnlyWhenComplete) {
  const Image one = render({"0", "200", "000000", "HIH", "40", "FFFFFF"});
  const Image two = render({"0", "200", "000000", "HIH", "40", "FFFFFF", "HH", "30", "FF0000"});
  EXPECT_NE(one.rgba, two.rgba);
  // An incomplete second line is left out, arguments beyond it are ignored.
  const Image incomplete =
      render({"0", "200", "000000", "HIH", "40", "FFFFFF", "HH", "abc", "FF0000"});
  EXPECT_EQ(incomplete.width, one.width);
  EXPECT_TRUE(incomplete.rgba == one.rgba);
  const Image extra =
      render({"0", "200", "000000", "HIH", "40", "FFFFFF", "HH", "30", "FF0000", "x", "9"});
  EXPECT_TRUE(extra.rgba == two.rgba);
}

TEST_F(InkslabTest, AnyTextRendersWithoutComplaint) {
  const std::vector<std::string> texts = {
      "Live \xF0\x9F\x94\xB4 now \xF0\x9F\x8E\xA5",                                 // emoji
      "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7",  // Hebrew,
                                                                                    // Arabic
      "bad \xFF\xFE bytes \xC3",                                                    // not UTF-8
      "two\nlines\tand a tab",
      "",
      " ",
  };
  for (const auto& text : texts) {
    const Image card = render({"0", "120", "202020", text, "48", "FFFFFF"});
    EXPECT_GE(card.width, 48) << text;
    EXPECT_EQ(card.height, 120) << text;
  }
  EXPECT_EQ(render({"0", "120", "202020", "x", "16384", "FFFFFF"}).height, 120);
}

TEST_F(InkslabTest, FailedWritesExitTwoAndLeaveNothingBehind) {
  const fs::path aFile = path("plain");
  std::ofstream(aFile) << "not a folder";
  fs::create_directory(path("taken.png"));
  const std::vector<std::string> outputs = {
      path("missing/card.png").string(),
      (aFile / "card.png").string(),
      path("taken.png").string(),  // a folder where the file should go
      "/proc/inkslab-card.png",
  };
  for (const auto& out : outputs) {
    const Outcome result = run({out, "0", "100", "000000", "HIH", "30", "FFFFFF"});
    EXPECT_EQ(result.status, 2) << out;
    EXPECT_EQ(result.err, "") << out;
    EXPECT_EQ(result.out, "") << out;
  }
  EXPECT_EQ(strayFiles({"plain", "taken.png"}), std::vector<std::string>{});
  EXPECT_EQ(readFile(aFile), "not a folder");
}

TEST_F(InkslabTest, AnExistingFileIsReplacedWhole) {
  const fs::path out = path("card.png");
  std::ofstream(out) << std::string(100000, 'x');
  const Image card = render({"0", "80", "336699", "HIH", "30", "FFFFFF"});
  EXPECT_EQ(card.height, 80);
  EXPECT_EQ(strayFiles({"card.png"}), std::vector<std::string>{});
  const auto perms = fs::status(out).permissions();
  EXPECT_NE(perms & fs::perms::others_read, fs::perms::none) << "made as a new file would be";
}

}  // namespace
