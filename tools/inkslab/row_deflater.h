// Compresses filtered PNG rows into a zlib stream, with runs of repeated rows almost free.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace kestrova::inkslab {

// A card is mostly rows equal to the row above, which the "Up" filter turns into a filter byte
// and zeros. Deflating those byte by byte is most of the cost of a card, so a run of them is
// instead made of ready-compressed pieces: a stretch of such rows is compressed once, on its
// own and ending on a byte boundary with no reference outside itself, and its bytes are copied
// as often as the run needs. The other rows go through zlib, which is flushed to a byte
// boundary and forgets its history before every such run, so the pieces can sit between them.
class RowDeflater {
 public:
  // Absent when zlib cannot start.
  [[nodiscard]] static std::optional<RowDeflater> create(std::size_t rowBytes);

  // One filtered row (filter byte first) of rowBytes bytes.
  [[nodiscard]] bool addRow(std::span<const std::uint8_t> row);
  // count rows that are an "Up" filter byte followed by zeros.
  [[nodiscard]] bool addRepeatedRows(std::size_t count);
  // Ends the stream; the whole zlib stream, header to checksum.
  [[nodiscard]] std::optional<std::vector<std::uint8_t>> finish();

 private:
  // A compressed stretch of repeated rows and the checksum of what it decompresses to.
  struct Piece {
    std::vector<std::uint8_t> bytes;
    std::uint32_t adler = 0;
    std::size_t rows = 0;
  };

  struct StreamDeleter {
    void operator()(z_stream* stream) const;
  };
  using StreamPtr = std::unique_ptr<z_stream, StreamDeleter>;

  RowDeflater(std::size_t rowBytes, StreamPtr stream);
  [[nodiscard]] bool pump(int flush);
  [[nodiscard]] bool makePiece(Piece& piece, std::size_t rows) const;
  void appendPiece(const Piece& piece);

  std::size_t rowBytes_;
  StreamPtr stream_;  // on the heap: zlib's state points back at it
  uLong adler_ = 1;   // the checksum of an empty stream
  std::vector<std::uint8_t> out_;
  Piece bigPiece_;
  Piece onePiece_;
  std::vector<std::uint8_t> chunk_;
  bool atBoundary_ = true;  // nothing deflated since the start or the last piece
};

}  // namespace kestrova::inkslab
