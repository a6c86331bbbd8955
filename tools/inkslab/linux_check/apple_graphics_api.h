// For the Linux syntax check only: the CoreFoundation, CoreGraphics, CoreText and ImageIO names
// inkslab's Mac drawing and its Mac tests use, declared as Apple documents them. Never part of
// the Mac build, which takes the frameworks' own headers.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// CoreFoundation
typedef signed long CFIndex;
typedef unsigned long CFOptionFlags;
typedef unsigned char Boolean;
typedef unsigned char UInt8;
typedef unsigned short UniChar;
typedef const void* CFTypeRef;
typedef const struct __CFAllocator* CFAllocatorRef;
typedef const struct __CFString* CFStringRef;
typedef const struct __CFDictionary* CFDictionaryRef;
typedef const struct __CFAttributedString* CFAttributedStringRef;
typedef const struct __CFData* CFDataRef;
typedef struct __CFData* CFMutableDataRef;
typedef struct CFDictionaryKeyCallBacks CFDictionaryKeyCallBacks;
typedef struct CFDictionaryValueCallBacks CFDictionaryValueCallBacks;

extern const CFAllocatorRef kCFAllocatorDefault;
extern const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks;
extern const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks;

CFStringRef CFSTR(const char* cStr);
void CFRelease(CFTypeRef cf);
Boolean CFEqual(CFTypeRef cf1, CFTypeRef cf2);
CFStringRef CFStringCreateWithCharacters(CFAllocatorRef alloc, const UniChar* chars,
                                         CFIndex numChars);
CFDictionaryRef CFDictionaryCreate(CFAllocatorRef allocator, const void** keys, const void** values,
                                   CFIndex numValues, const CFDictionaryKeyCallBacks* keyCallBacks,
                                   const CFDictionaryValueCallBacks* valueCallBacks);
CFAttributedStringRef CFAttributedStringCreate(CFAllocatorRef alloc, CFStringRef str,
                                               CFDictionaryRef attributes);
CFMutableDataRef CFDataCreateMutable(CFAllocatorRef allocator, CFIndex capacity);
const UInt8* CFDataGetBytePtr(CFDataRef theData);
CFIndex CFDataGetLength(CFDataRef theData);

// CoreGraphics
typedef double CGFloat;
struct CGPoint {
  CGFloat x;
  CGFloat y;
};
struct CGSize {
  CGFloat width;
  CGFloat height;
};
struct CGRect {
  CGPoint origin;
  CGSize size;
};
struct CGAffineTransform {
  CGFloat a, b, c, d;
  CGFloat tx, ty;
};
typedef struct CGColorSpace* CGColorSpaceRef;
typedef struct CGColor* CGColorRef;
typedef struct CGContext* CGContextRef;
typedef struct CGImage* CGImageRef;
typedef uint32_t CGBitmapInfo;
enum CGImageAlphaInfo : uint32_t {
  kCGImageAlphaNone,
  kCGImageAlphaPremultipliedLast,
  kCGImageAlphaPremultipliedFirst,
  kCGImageAlphaLast,
  kCGImageAlphaFirst,
  kCGImageAlphaNoneSkipLast,
  kCGImageAlphaNoneSkipFirst,
  kCGImageAlphaOnly,
};
enum CGColorRenderingIntent : int32_t {
  kCGRenderingIntentDefault,
  kCGRenderingIntentAbsoluteColorimetric,
  kCGRenderingIntentRelativeColorimetric,
  kCGRenderingIntentPerceptual,
  kCGRenderingIntentSaturation,
};

extern const CGAffineTransform CGAffineTransformIdentity;
extern const CFStringRef kCGColorSpaceSRGB;
extern const CFStringRef kCGColorSpaceGenericRGB;

CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat width, CGFloat height);
CGColorSpaceRef CGColorSpaceCreateWithName(CFStringRef name);
CGColorRef CGColorCreate(CGColorSpaceRef space, const CGFloat* components);
CGColorRef CGColorCreateCopyByMatchingToColorSpace(CGColorSpaceRef space,
                                                   CGColorRenderingIntent intent, CGColorRef color,
                                                   CFDictionaryRef options);
const CGFloat* CGColorGetComponents(CGColorRef color);
size_t CGColorGetNumberOfComponents(CGColorRef color);
CGContextRef CGBitmapContextCreate(void* data, size_t width, size_t height, size_t bitsPerComponent,
                                   size_t bytesPerRow, CGColorSpaceRef space, uint32_t bitmapInfo);
CGImageRef CGBitmapContextCreateImage(CGContextRef context);
void CGContextClearRect(CGContextRef c, CGRect rect);
void CGContextSetFillColorWithColor(CGContextRef c, CGColorRef color);
void CGContextFillRect(CGContextRef c, CGRect rect);
void CGContextSetTextMatrix(CGContextRef c, CGAffineTransform t);
void CGContextSetTextPosition(CGContextRef c, CGFloat x, CGFloat y);
void CGContextSetShouldSubpixelPositionFonts(CGContextRef c, bool shouldSubpixelPositionFonts);
void CGContextSetShouldSubpixelQuantizeFonts(CGContextRef c, bool shouldSubpixelQuantizeFonts);

// CoreText
typedef const struct __CTFont* CTFontRef;
typedef const struct __CTLine* CTLineRef;
typedef CFOptionFlags CTLineBoundsOptions;
enum : CTLineBoundsOptions {
  kCTLineBoundsExcludeTypographicLeading = 1 << 0,
  kCTLineBoundsExcludeTypographicShifts = 1 << 1,
  kCTLineBoundsUseHangingPunctuation = 1 << 2,
  kCTLineBoundsUseGlyphPathBounds = 1 << 3,
  kCTLineBoundsUseOpticalBounds = 1 << 4,
  kCTLineBoundsIncludeLanguageExtents = 1 << 5,
};

extern const CFStringRef kCTFontAttributeName;
extern const CFStringRef kCTForegroundColorAttributeName;

CTFontRef CTFontCreateWithName(CFStringRef name, CGFloat size, const CGAffineTransform* matrix);
CFStringRef CTFontCopyPostScriptName(CTFontRef font);
CTLineRef CTLineCreateWithAttributedString(CFAttributedStringRef attrString);
CGRect CTLineGetBoundsWithOptions(CTLineRef line, CTLineBoundsOptions options);
void CTLineDraw(CTLineRef line, CGContextRef context);

// ImageIO
typedef struct CGImageDestination* CGImageDestinationRef;

CGImageDestinationRef CGImageDestinationCreateWithData(CFMutableDataRef data, CFStringRef type,
                                                       size_t count, CFDictionaryRef options);
void CGImageDestinationAddImage(CGImageDestinationRef idst, CGImageRef image,
                                CFDictionaryRef properties);
bool CGImageDestinationFinalize(CGImageDestinationRef idst);

}  // extern "C"
