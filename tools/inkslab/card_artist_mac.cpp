// inkslab's drawing on the Mac, with the system's own libraries only: CoreText lays each line
// out in "HelveticaNeue-Medium" and measures its optical bounds, CoreGraphics paints an sRGB
// bitmap (8 bits per channel, RGBA with alpha last and premultiplied), and ImageIO encodes it as
// one PNG image. The colours are made in generic RGB and converted to sRGB as they are drawn.
#include <CoreFoundation/CoreFoundation.h>
#include <CoreGraphics/CoreGraphics.h>
#include <CoreText/CoreText.h>
#include <ImageIO/ImageIO.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/inkslab/card_program.h"
#include "tools/inkslab/cf_owned.h"

namespace kestrova::inkslab {
namespace {

constexpr int kBitsPerChannel = 8;

CFOwned<CGColorRef> genericRgb(Rgba colour) {
  const CFOwned<CGColorSpaceRef> space(CGColorSpaceCreateWithName(kCGColorSpaceGenericRGB));
  const CGFloat components[] = {colour.red / 255.0, colour.green / 255.0, colour.blue / 255.0,
                                colour.alpha / 255.0};
  return CFOwned<CGColorRef>(space ? CGColorCreate(space.get(), components) : nullptr);
}

// The line as one laid-out CTLine whose attributes are the font and the colour and nothing else.
CFOwned<CTLineRef> layOut(const Line& line) {
  const CFOwned<CTFontRef> font(
      CTFontCreateWithName(CFSTR("HelveticaNeue-Medium"), line.size, nullptr));
  const CFOwned<CGColorRef> colour = genericRgb(line.col);
  const std::u16string units = utf16Text(line.text);
  const CFOwned<CFStringRef> text(CFStringCreateWithCharacters(
      kCFAllocatorDefault, reinterpret_cast<const UniChar*>(units.data()),
      static_cast<CFIndex>(units.size())));
  if (!font || !colour || !text) {
    return nullptr;
  }
  const void* keys[] = {kCTFontAttributeName, kCTForegroundColorAttributeName};
  const void* values[] = {font.get(), colour.get()};
  const CFOwned<CFDictionaryRef> attributes(CFDictionaryCreate(kCFAllocatorDefault, keys, values, 2,
                                                               &kCFTypeDictionaryKeyCallBacks,
                                                               &kCFTypeDictionaryValueCallBacks));
  if (!attributes) {
    return nullptr;
  }
  const CFOwned<CFAttributedStringRef> attributed(
      CFAttributedStringCreate(kCFAllocatorDefault, text.get(), attributes.get()));
  return CFOwned<CTLineRef>(attributed ? CTLineCreateWithAttributedString(attributed.get())
                                       : nullptr);
}

// A PNG file's bytes for the image: one image, no properties. Absent when ImageIO fails.
std::optional<std::vector<std::uint8_t>> encodePng(CGImageRef image) {
  const CFOwned<CFMutableDataRef> data(CFDataCreateMutable(kCFAllocatorDefault, 0));
  if (!data) {
    return std::nullopt;
  }
  const CFOwned<CGImageDestinationRef> destination(
      CGImageDestinationCreateWithData(data.get(), CFSTR("public.png"), 1, nullptr));
  if (!destination) {
    return std::nullopt;
  }
  CGImageDestinationAddImage(destination.get(), image, nullptr);
  if (!CGImageDestinationFinalize(destination.get())) {
    return std::nullopt;
  }
  const UInt8* bytes = CFDataGetBytePtr(data.get());
  const auto length = static_cast<std::size_t>(CFDataGetLength(data.get()));
  return std::vector<std::uint8_t>(bytes, bytes + length);
}

class CoreTextArtist final : public CardArtist {
 public:
  std::vector<double> measure(const std::vector<Line>& lines) override {
    laidOut_.clear();
    std::vector<double> widths;
    for (const Line& line : lines) {
      laidOut_.push_back(layOut(line));
      // A line that could not be laid out (no memory) is measured as empty; paint refuses it.
      widths.push_back(laidOut_.back() ? CTLineGetBoundsWithOptions(laidOut_.back().get(),
                                                                    kCTLineBoundsUseOpticalBounds)
                                             .size.width
                                       : 0.0);
    }
    return widths;
  }

  PaintResult paint(const CardRequest& request, const CardLayout& layout) override {
    const CFOwned<CGColorSpaceRef> srgb(CGColorSpaceCreateWithName(kCGColorSpaceSRGB));
    const CFOwned<CGColorRef> background = genericRgb(request.background);
    const CFOwned<CGContextRef> bitmap(
        srgb ? CGBitmapContextCreate(nullptr, static_cast<std::size_t>(layout.width),
                                     static_cast<std::size_t>(layout.height), kBitsPerChannel, 0,
                                     srgb.get(), kCGImageAlphaPremultipliedLast)
             : nullptr);
    const bool allLaidOut =
        std::all_of(laidOut_.begin(), laidOut_.end(), [](const auto& line) { return !!line; });
    if (!bitmap || !background || !allLaidOut) {
      return PaintFailure::kTooLarge;
    }
    const CGRect card = CGRectMake(0, 0, layout.width, layout.height);
    CGContextClearRect(bitmap.get(), card);
    CGContextSetFillColorWithColor(bitmap.get(), background.get());
    CGContextFillRect(bitmap.get(), card);
    drawLines(bitmap.get(), layout);
    const CFOwned<CGImageRef> image(CGBitmapContextCreateImage(bitmap.get()));
    if (!image) {
      return PaintFailure::kTooLarge;
    }
    auto png = encodePng(image.get());
    if (!png) {
      return PaintFailure::kEncoding;
    }
    return std::move(*png);
  }

 private:
  // CoreGraphics counts y upwards from the bottom edge; the layout counts it from the top.
  void drawLines(CGContextRef bitmap, const CardLayout& layout) const {
    // Glyphs go exactly where the layout puts them, not snapped to whole or quarter pixels.
    CGContextSetShouldSubpixelPositionFonts(bitmap, true);
    CGContextSetShouldSubpixelQuantizeFonts(bitmap, false);
    CGContextSetTextMatrix(bitmap, CGAffineTransformIdentity);
    for (std::size_t i = 0; i < laidOut_.size() && i < layout.positions.size(); ++i) {
      const PenPosition& pen = layout.positions[i];
      CGContextSetTextPosition(bitmap, pen.x, layout.height - pen.baseline);
      CTLineDraw(laidOut_[i].get(), bitmap);
    }
  }

  std::vector<CFOwned<CTLineRef>> laidOut_;
};

}  // namespace

std::unique_ptr<CardArtist> makeCardArtist() { return std::make_unique<CoreTextArtist>(); }

}  // namespace kestrova::inkslab
