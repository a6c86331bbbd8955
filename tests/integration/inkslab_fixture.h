// inkslab as the engine runs it: a real process, a real PNG decoded. Shared by the tests every
// system runs and by the tests of each system's drawing (inkslab_drawing_linux.cpp,
// inkslab_drawing_mac.cpp).
#pragma once

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/sandbox.h"

namespace kestrova::testing {

// The pixel this system's build paints for a colour given as red, green, blue and alpha: the
// values themselves on Linux, where they are taken as sRGB; on the Mac, they are generic RGB,
// converted to sRGB.
[[nodiscard]] std::array<int, 4> paintedPixel(std::array<int, 4> given);

struct Image {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgba;  // straight alpha
  [[nodiscard]] const std::uint8_t* at(int x, int y) const { return &rgba[4 * (y * width + x)]; }
  // Where a channel's ink lies (at least half on, and `off` less than half): left, right, top,
  // bottom, right/bottom excluded.
  [[nodiscard]] std::vector<int> ink(int channel, int off = -1) const {
    std::vector<int> box{width, 0, height, 0};
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        if (at(x, y)[channel] < 128 || (off >= 0 && at(x, y)[off] >= 128)) continue;
        box = {std::min(box[0], x), std::max(box[1], x + 1), std::min(box[2], y),
               std::max(box[3], y + 1)};
      }
    }
    return box;
  }
};

class InkslabTest : public ::testing::Test {
 protected:
  // The exit status and everything printed.
  std::pair<std::optional<int>, std::string> run(std::vector<std::string> args) const {
    args.insert(args.begin(), KESTROVA_ENGINE_RUNTIME_DIR "/inkslab");
    const std::string out = sandbox.path(".out");
    ChildProcess child({.argv = args, .stdoutPath = out, .stderrPath = out});
    const auto status = child.wait(30);
    const std::string printed = readFile(out);
    std::filesystem::remove(out);
    return {status, printed};
  }
  // Renders a card that must succeed quietly, and decodes it.
  Image render(std::vector<std::string> args) const {
    args.insert(args.begin(), sandbox.path("card.png"));
    EXPECT_EQ(run(args), std::pair(std::optional(0), std::string()));
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    Image image;
    if (png_image_begin_read_from_file(&png, sandbox.path("card.png").c_str()) != 0) {
      png.format = PNG_FORMAT_RGBA;
      image = {static_cast<int>(png.width), static_cast<int>(png.height),
               std::vector<std::uint8_t>(PNG_IMAGE_SIZE(png))};
      EXPECT_NE(png_image_finish_read(&png, nullptr, image.rgba.data(), 0, nullptr), 0);
    }
    return image;
  }
  Sandbox sandbox;
};

}  // namespace kestrova::testing
