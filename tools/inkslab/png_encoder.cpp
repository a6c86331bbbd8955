#include "tools/inkslab/png_encoder.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <vector>

namespace kestrova::inkslab {
namespace {

// Level 1 already shrinks the long runs of zero bytes that uniform rows filter into to almost
// nothing; higher levels cost several times the time for a few percent on the text rows.
constexpr int kCompressionLevel = 1;

constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint8_t kFilterSub = 1;
constexpr std::uint8_t kFilterUp = 2;
constexpr std::size_t kChunkOverhead = 12;  // length, type, CRC
constexpr std::size_t kIhdrSize = 13;
constexpr std::size_t kSrgbSize = 1;
constexpr std::size_t kHeaderBytes =
    kSignature.size() + (kChunkOverhead + kIhdrSize) + (kChunkOverhead + kSrgbSize) + 8;
constexpr std::size_t kTrailerBytes = 4 + kChunkOverhead;

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

std::uint8_t* putU32(std::uint8_t* out, std::uint32_t value) {
    out[0] = static_cast<std::uint8_t>(value >> 24U);
    out[1] = static_cast<std::uint8_t>(value >> 16U);
    out[2] = static_cast<std::uint8_t>(value >> 8U);
    out[3] = static_cast<std::uint8_t>(value);
    return out + 4;
}

// Writes the CRC of a chunk whose type starts at typeStart and whose data ends at out.
std::uint8_t* putCrc(std::uint8_t* out, const std::uint8_t* typeStart) {
    const auto length = static_cast<std::size_t>(out - typeStart);
    return putU32(out, libdeflate_crc32(0, typeStart, length));
}

std::uint8_t* putChunkStart(std::uint8_t* out, std::size_t length, const char* type) {
    out = putU32(out, static_cast<std::uint32_t>(length));
    std::memcpy(out, type, 4);
    return out + 4;
}

std::uint8_t* putHeader(std::uint8_t* out, const Canvas& canvas, bool opaque) {
    out = std::copy(kSignature.begin(), kSignature.end(), out);
    std::uint8_t* type = out + 4;
    out = putChunkStart(out, kIhdrSize, "IHDR");
    out = putU32(out, static_cast<std::uint32_t>(canvas.width()));
    out = putU32(out, static_cast<std::uint32_t>(canvas.height()));
    const std::array<std::uint8_t, 5> format = {8, static_cast<std::uint8_t>(opaque ? 2 : 6), 0,
                                                0, 0};
    out = std::copy(format.begin(), format.end(), out);
    out = putCrc(out, type);
    type = out + 4;
    out = putChunkStart(out, kSrgbSize, "sRGB");
    *out++ = 0;  // perceptual rendering intent
    return putCrc(out, type);
}

// One Cairo pixel: premultiplied ARGB in a native-endian 32-bit word.
std::uint32_t pixelAt(const std::uint8_t* row, std::size_t x) {
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, row + 4 * x, 4);
    return pixel;
}

std::uint8_t unpremultiply(std::uint32_t channel, std::uint32_t alpha) {
    return static_cast<std::uint8_t>(std::min<std::uint32_t>(255, (channel * 255 + alpha / 2) / alpha));
}

// Turns one Cairo row into PNG samples: opaque pixels need only reordering; translucent ones
// are unpremultiplied.
void convertRow(const std::uint8_t* raw, std::size_t width, bool opaque, std::uint8_t* out) {
    for (std::size_t x = 0; x < width; ++x) {
        const std::uint32_t p = pixelAt(raw, x);
        const std::uint32_t a = p >> 24U;
        std::uint32_t r = (p >> 16U) & 0xFFU;
        std::uint32_t g = (p >> 8U) & 0xFFU;
        std::uint32_t b = p & 0xFFU;
        if (!opaque && a != 255 && a != 0) {
            r = unpremultiply(r, a), g = unpremultiply(g, a), b = unpremultiply(b, a);
        }
        *out++ = static_cast<std::uint8_t>(r);
        *out++ = static_cast<std::uint8_t>(g);
        *out++ = static_cast<std::uint8_t>(b);
        if (!opaque) {
            *out++ = static_cast<std::uint8_t>(a);
        }
    }
}

// The "Sub" filter: each byte minus the same channel of the pixel to its left.
void filterSub(const std::uint8_t* samples, std::size_t count, std::size_t bpp, std::uint8_t* out) {
    std::memcpy(out, samples, std::min(bpp, count));
    for (std::size_t i = bpp; i < count; ++i) {
        out[i] = static_cast<std::uint8_t>(samples[i] - samples[i - bpp]);
    }
}

// Filters every row into the start of the canvas memory and returns the filtered length.
// A row equal to the one above becomes "Up" and all zeros without being converted at all;
// others are converted and "Sub"-filtered. Writing in place is safe because each filtered row
// is at most one byte longer than a Cairo row and the canvas has a byte of headroom per row.
std::size_t filterRows(Canvas& canvas, bool opaque) {
    const auto width = static_cast<std::size_t>(canvas.width());
    const std::size_t bpp = opaque ? 3 : 4;
    const std::size_t rowBytes = 1 + width * bpp;
    std::vector<std::uint8_t> previous(width * 4);
    std::vector<std::uint8_t> samples(width * bpp);
    std::uint8_t* out = canvas.memory();
    for (int y = 0; y < canvas.height(); ++y, out += rowBytes) {
        const std::uint8_t* raw = canvas.row(y);
        if (y > 0 && std::memcmp(raw, previous.data(), previous.size()) == 0) {
            out[0] = kFilterUp;
            std::memset(out + 1, 0, rowBytes - 1);
            continue;
        }
        std::memcpy(previous.data(), raw, previous.size());
        convertRow(previous.data(), width, opaque, samples.data());
        out[0] = kFilterSub;
        filterSub(samples.data(), samples.size(), bpp, out + 1);
    }
    return rowBytes * static_cast<std::size_t>(canvas.height());
}

}  // namespace

std::optional<EncodedPng> encodePng(Canvas& canvas, bool opaque) {
    const std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(kCompressionLevel));
    if (!compressor) {
        return std::nullopt;
    }
    const std::size_t filtered = filterRows(canvas, opaque);
    const std::size_t bound = libdeflate_zlib_compress_bound(compressor.get(), filtered);
    EncodedPng png;
    png.bytes.reset(new (std::nothrow) std::uint8_t[kHeaderBytes + bound + kTrailerBytes]);
    if (!png.bytes) {
        return std::nullopt;
    }
    std::uint8_t* out = putHeader(png.bytes.get(), canvas, opaque);
    std::uint8_t* const idatType = out + 4;
    std::uint8_t* const data = idatType + 4;
    const std::size_t compressed =
        libdeflate_zlib_compress(compressor.get(), canvas.memory(), filtered, data, bound);
    if (compressed == 0 || compressed > 0x7FFFFFFF) {
        return std::nullopt;
    }
    out = putChunkStart(out, compressed, "IDAT") + compressed;
    out = putCrc(out, idatType);
    std::uint8_t* const iendType = out + 4;
    out = putChunkStart(out, 0, "IEND");
    out = putCrc(out, iendType);
    png.size = static_cast<std::size_t>(out - png.bytes.get());
    return png;
}

}  // namespace kestrova::inkslab
