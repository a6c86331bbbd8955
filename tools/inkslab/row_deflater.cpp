#include "tools/inkslab/row_deflater.h"

#include <array>

namespace kestrova::inkslab {
namespace {

// Rows per ready-made piece: enough that copying pieces costs nothing, small enough that making
// one takes a fraction of a millisecond.
constexpr std::size_t kRowsPerPiece = 32;
constexpr std::uint8_t kFilterUp = 2;
constexpr int kLevel = 1;
constexpr int kRawDeflate = -15;  // no zlib framing: it is written here around the pieces
constexpr int kMemoryLevel = 8;
constexpr std::array<std::uint8_t, 2> kZlibHeader = {0x78, 0x01};  // 32 KiB window, fastest
constexpr std::size_t kChunk = 64 * 1024;

bool startRawDeflate(z_stream& stream) {
  return deflateInit2(&stream, kLevel, Z_DEFLATED, kRawDeflate, kMemoryLevel, Z_DEFAULT_STRATEGY) ==
         Z_OK;
}

}  // namespace

void RowDeflater::StreamDeleter::operator()(z_stream* stream) const {
  deflateEnd(stream);
  delete stream;
}

RowDeflater::RowDeflater(std::size_t rowBytes, StreamPtr stream)
    : rowBytes_(rowBytes), stream_(std::move(stream)), chunk_(kChunk) {}

std::optional<RowDeflater> RowDeflater::create(std::size_t rowBytes) {
  auto stream = std::make_unique<z_stream>();
  if (!startRawDeflate(*stream)) {
    return std::nullopt;
  }
  RowDeflater deflater(rowBytes, StreamPtr(stream.release()));
  if (!deflater.makePiece(deflater.bigPiece_, kRowsPerPiece) ||
      !deflater.makePiece(deflater.onePiece_, 1)) {
    return std::nullopt;
  }
  deflater.out_.assign(kZlibHeader.begin(), kZlibHeader.end());
  return deflater;
}

bool RowDeflater::makePiece(Piece& piece, std::size_t rows) const {
  std::vector<std::uint8_t> data(rowBytes_ * rows, 0);
  for (std::size_t r = 0; r < rows; ++r) {
    data[r * rowBytes_] = kFilterUp;
  }
  z_stream stream{};
  if (!startRawDeflate(stream)) {
    return false;
  }
  piece.bytes.resize(deflateBound(&stream, static_cast<uLong>(data.size())) + 16);
  stream.next_in = data.data();
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = piece.bytes.data();
  stream.avail_out = static_cast<uInt>(piece.bytes.size());
  // A full flush ends on a byte boundary without marking the last block, and nothing in the
  // piece refers to anything before it.
  const int result = deflate(&stream, Z_FULL_FLUSH);
  const bool complete = result == Z_OK && stream.avail_in == 0 && stream.avail_out > 0;
  piece.bytes.resize(piece.bytes.size() - stream.avail_out);
  deflateEnd(&stream);
  piece.adler = static_cast<std::uint32_t>(adler32(1, data.data(), static_cast<uInt>(data.size())));
  piece.rows = rows;
  return complete;
}

bool RowDeflater::pump(int flush) {
  std::vector<std::uint8_t>& chunk = chunk_;
  do {
    stream_->next_out = chunk.data();
    stream_->avail_out = static_cast<uInt>(chunk.size());
    const int result = deflate(stream_.get(), flush);
    if (result == Z_STREAM_ERROR) {
      return false;
    }
    out_.insert(out_.end(), chunk.data(), chunk.data() + (chunk.size() - stream_->avail_out));
  } while (stream_->avail_out == 0);
  return true;
}

bool RowDeflater::addRow(std::span<const std::uint8_t> row) {
  adler_ = adler32(adler_, row.data(), static_cast<uInt>(row.size()));
  stream_->next_in = const_cast<Bytef*>(row.data());
  stream_->avail_in = static_cast<uInt>(row.size());
  atBoundary_ = false;
  return pump(Z_NO_FLUSH);
}

void RowDeflater::appendPiece(const Piece& piece) {
  out_.insert(out_.end(), piece.bytes.begin(), piece.bytes.end());
  adler_ = adler32_combine(adler_, piece.adler, static_cast<z_off_t>(piece.rows * rowBytes_));
}

bool RowDeflater::addRepeatedRows(std::size_t count) {
  if (count == 0) {
    return true;
  }
  if (!atBoundary_ && !pump(Z_FULL_FLUSH)) {
    return false;
  }
  for (; count >= kRowsPerPiece; count -= kRowsPerPiece) {
    appendPiece(bigPiece_);
  }
  for (; count > 0; --count) {
    appendPiece(onePiece_);
  }
  atBoundary_ = true;
  return true;
}

std::optional<std::vector<std::uint8_t>> RowDeflater::finish() {
  // The final block (empty when the stream ended on pieces) closes the deflate data.
  stream_->avail_in = 0;
  if (!pump(Z_FINISH)) {
    return std::nullopt;
  }
  for (const unsigned shift : {24U, 16U, 8U, 0U}) {
    out_.push_back(static_cast<std::uint8_t>(adler_ >> shift));
  }
  return std::move(out_);
}

}  // namespace kestrova::inkslab
