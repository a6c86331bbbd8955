// What only inkslab's Mac drawing shows: CoreText sets the lines in the named face, a background
// below opaque gives a translucent card, and colours made in generic RGB arrive as sRGB values.
#include <CoreFoundation/CoreFoundation.h>
#include <CoreGraphics/CoreGraphics.h>
#include <CoreText/CoreText.h>

#include <algorithm>
#include <cmath>

#include "tests/integration/inkslab_fixture.h"
#include "tools/inkslab/cf_owned.h"

namespace kestrova::testing {
namespace {

using inkslab::CFOwned;

CFOwned<CGColorSpaceRef> space(CFStringRef name) {
  return CFOwned<CGColorSpaceRef>(CGColorSpaceCreateWithName(name));
}

// A line of ASCII text laid out in the face, and its optical width.
double opticalWidth(CTFontRef font, const std::string& text) {
  const std::u16string units(text.begin(), text.end());
  const CFOwned<CFStringRef> string(CFStringCreateWithCharacters(
      kCFAllocatorDefault, reinterpret_cast<const UniChar*>(units.data()),
      static_cast<CFIndex>(units.size())));
  const void* keys[] = {kCTFontAttributeName};
  const void* values[] = {font};
  const CFOwned<CFDictionaryRef> attributes(CFDictionaryCreate(kCFAllocatorDefault, keys, values, 1,
                                                               &kCFTypeDictionaryKeyCallBacks,
                                                               &kCFTypeDictionaryValueCallBacks));
  const CFOwned<CFAttributedStringRef> attributed(
      CFAttributedStringCreate(kCFAllocatorDefault, string.get(), attributes.get()));
  const CFOwned<CTLineRef> line(CTLineCreateWithAttributedString(attributed.get()));
  return CTLineGetBoundsWithOptions(line.get(), kCTLineBoundsUseOpticalBounds).size.width;
}

TEST_F(InkslabTest, LinesAreSetInHelveticaNeueMedium) {
  const CFOwned<CTFontRef> medium(CTFontCreateWithName(CFSTR("HelveticaNeue-Medium"), 96, nullptr));
  const CFOwned<CTFontRef> regular(CTFontCreateWithName(CFSTR("HelveticaNeue"), 96, nullptr));
  const CFOwned<CFStringRef> found(CTFontCopyPostScriptName(medium.get()));
  ASSERT_TRUE(CFEqual(found.get(), CFSTR("HelveticaNeue-Medium"))) << "the face is on this Mac";
  const std::string text = "Breaking News";
  const double width = opticalWidth(medium.get(), text);
  // The card's automatic width tells the face from its neighbour in the family.
  ASSERT_GT(std::abs(opticalWidth(regular.get(), text) - width), 2.0);
  EXPECT_EQ(render({"0", "200", "000000", text, "96", "FFFFFF"}).width,
            static_cast<int>(std::ceil(width)) + 48);
}

TEST_F(InkslabTest, ABackgroundBelowOpaqueGivesATranslucentCardUnderOpaqueText) {
  const Image card = render({"0", "100", "3366CC80", "HIH", "40", "FFFFFF"});
  const auto painted = paintedPixel({0x33, 0x66, 0xCC, 0x80});
  for (int c = 0; c < 4; ++c) EXPECT_NEAR(card.at(0, 0)[c], painted[c], c == 3 ? 0 : 3) << c;
  bool opaqueInk = false;
  for (std::size_t i = 3; i < card.rgba.size(); i += 4)
    opaqueInk = opaqueInk || card.rgba[i] == 255;
  EXPECT_TRUE(opaqueInk);
}

// Taken as sRGB, these mid-tones would land well away from their converted values.
TEST_F(InkslabTest, GenericRgbColoursArriveAsTheirSrgbValues) {
  for (const auto& [hex, given] : std::vector<std::pair<std::string, std::array<int, 4>>>{
           {"3366CC", {0x33, 0x66, 0xCC, 255}}, {"808080", {128, 128, 128, 255}}}) {
    const auto painted = paintedPixel(given);
    int moved = 0;
    for (int c = 0; c < 3; ++c) moved = std::max(moved, std::abs(painted[c] - given[c]));
    EXPECT_GT(moved, 6) << hex;
    const Image card = render({"0", "60", hex, "HIH", "20", "FFFFFF"});
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(card.at(0, 0)[c], painted[c], 2) << hex << c;
  }
}

}  // namespace

std::array<int, 4> paintedPixel(std::array<int, 4> given) {
  if (given[3] == 0) {
    return {0, 0, 0, 0};  // premultiplied, nothing of a fully transparent colour is kept
  }
  const CGFloat components[] = {given[0] / 255.0, given[1] / 255.0, given[2] / 255.0,
                                given[3] / 255.0};
  const CFOwned<CGColorRef> colour(CGColorCreate(space(kCGColorSpaceGenericRGB).get(), components));
  // Fills are matched with the relative colorimetric intent, as a context does by default.
  const CFOwned<CGColorRef> srgb(CGColorCreateCopyByMatchingToColorSpace(
      space(kCGColorSpaceSRGB).get(), kCGRenderingIntentRelativeColorimetric, colour.get(),
      nullptr));
  const CGFloat* matched = CGColorGetComponents(srgb.get());
  std::array<int, 4> pixel{0, 0, 0, given[3]};
  for (int c = 0; c < 3; ++c) {
    pixel[c] = static_cast<int>(std::lround(std::clamp(matched[c], 0.0, 1.0) * 255.0));
  }
  return pixel;
}

}  // namespace kestrova::testing
