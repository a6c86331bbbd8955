#include "tools/inkslab/png_encoder.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "tools/inkslab/row_deflater.h"

namespace kestrova::inkslab {
namespace {

constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint8_t kFilterSub = 1;

void putU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (const unsigned shift : {24U, 16U, 8U, 0U}) {
    out.push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

void putChunk(std::vector<std::uint8_t>& out, const char* type, const std::uint8_t* data,
              std::size_t size) {
  putU32(out, static_cast<std::uint32_t>(size));
  const std::size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data, data + size);
  const auto crc = crc32(0, out.data() + typeAt, static_cast<uInt>(out.size() - typeAt));
  putU32(out, static_cast<std::uint32_t>(crc));
}

std::uint8_t unpremultiply(std::uint32_t channel, std::uint32_t alpha) {
  return static_cast<std::uint8_t>(
      std::min<std::uint32_t>(255, (channel * 255 + alpha / 2) / alpha));
}

// Turns one Cairo row into PNG samples: opaque pixels need only reordering; translucent ones
// are unpremultiplied.
void convertRow(const std::uint8_t* raw, std::size_t width, bool opaque, std::uint8_t* out) {
  for (std::size_t x = 0; x < width; ++x) {
    std::uint32_t p = 0;
    std::memcpy(&p, raw + 4 * x, 4);
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
void filterSub(const std::vector<std::uint8_t>& samples, std::size_t bpp, std::uint8_t* out) {
  const std::size_t count = samples.size();
  std::memcpy(out, samples.data(), std::min(bpp, count));
  for (std::size_t i = bpp; i < count; ++i) {
    out[i] = static_cast<std::uint8_t>(samples[i] - samples[i - bpp]);
  }
}

// Feeds every row to the deflater: a row equal to the one above is never converted (it is an
// "Up" row of zeros); any other is converted and "Sub"-filtered.
bool deflateRows(Canvas& canvas, bool opaque, RowDeflater& deflater) {
  const auto width = static_cast<std::size_t>(canvas.width());
  const std::size_t bpp = opaque ? 3 : 4;
  std::vector<std::uint8_t> samples(width * bpp);
  std::vector<std::uint8_t> filtered(1 + width * bpp);
  filtered[0] = kFilterSub;
  std::vector<std::uint8_t> above(width * 4);  // the row above, as the canvas gave it
  std::size_t repeats = 0;
  for (int y = 0; y < canvas.height(); ++y) {
    const bool bothBackground = y > 0 && canvas.isBackgroundRow(y) && canvas.isBackgroundRow(y - 1);
    const std::uint8_t* raw = bothBackground ? nullptr : canvas.row(y);
    if (bothBackground || (y > 0 && std::memcmp(raw, above.data(), above.size()) == 0)) {
      ++repeats;
      continue;
    }
    std::memcpy(above.data(), raw, above.size());
    if (!deflater.addRepeatedRows(repeats)) {
      return false;
    }
    repeats = 0;
    convertRow(raw, width, opaque, samples.data());
    filterSub(samples, bpp, filtered.data() + 1);
    if (!deflater.addRow(filtered)) {
      return false;
    }
  }
  return deflater.addRepeatedRows(repeats);
}

}  // namespace

std::optional<std::vector<std::uint8_t>> encodePng(Canvas& canvas, bool opaque) {
  const std::size_t bpp = opaque ? 3 : 4;
  auto deflater = RowDeflater::create(1 + static_cast<std::size_t>(canvas.width()) * bpp);
  if (!deflater || !deflateRows(canvas, opaque, *deflater)) {
    return std::nullopt;
  }
  const auto idat = deflater->finish();
  if (!idat || idat->size() > 0x7FFFFFFFU) {
    return std::nullopt;
  }
  std::vector<std::uint8_t> png(kSignature.begin(), kSignature.end());
  png.reserve(idat->size() + 64);
  std::vector<std::uint8_t> header;
  putU32(header, static_cast<std::uint32_t>(canvas.width()));
  putU32(header, static_cast<std::uint32_t>(canvas.height()));
  // 8 bits per sample, colour type 2 (RGB) or 6 (RGBA), deflate, adaptive filters, no interlace.
  header.insert(header.end(), {8, static_cast<std::uint8_t>(opaque ? 2 : 6), 0, 0, 0});
  putChunk(png, "IHDR", header.data(), header.size());
  const std::uint8_t perceptual = 0;
  putChunk(png, "sRGB", &perceptual, 1);
  putChunk(png, "IDAT", idat->data(), idat->size());
  putChunk(png, "IEND", nullptr, 0);
  return png;
}

}  // namespace kestrova::inkslab
