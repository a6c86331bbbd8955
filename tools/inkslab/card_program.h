// inkslab from arguments to exit status, whichever library draws: reading the request, sizing
// and laying out the card, refusing what cannot be drawn, and replacing the output file.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "tools/inkslab/arguments.h"
#include "tools/inkslab/layout.h"

namespace kestrova::inkslab {

inline constexpr int kExitWritten = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitWriteFailed = 2;

// Where a card's measured lines go.
struct CardLayout {
  int width = 0;
  int height = 0;
  std::vector<PenPosition> positions;  // one per line, in order
};

// Why a card was not painted: no memory for its pixels (refused like a card too large, with the
// usage line), or the encoder failed (a write that did not complete).
enum class PaintFailure { kTooLarge, kEncoding };

using PaintResult = std::variant<std::vector<std::uint8_t>, PaintFailure>;

// What a drawing library does for inkslab: lay lines out, then paint them as a PNG file's bytes.
class CardArtist {
 public:
  CardArtist() = default;
  CardArtist(const CardArtist&) = delete;
  CardArtist& operator=(const CardArtist&) = delete;
  virtual ~CardArtist() = default;

  // Lays each line out as one line of the card font at its size, and keeps it for paint(); the
  // widths in pixels, in order.
  [[nodiscard]] virtual std::vector<double> measure(const std::vector<Line>& lines) = 0;
  // Paints the background of the request and the lines measured last where the layout puts them.
  [[nodiscard]] virtual PaintResult paint(const CardRequest& request, const CardLayout& layout) = 0;
};

// This system's drawing library; null when it cannot start. Each system's build defines it.
[[nodiscard]] std::unique_ptr<CardArtist> makeCardArtist();

using ArtistMaker = std::unique_ptr<CardArtist> (*)();

// Runs inkslab on the arguments that follow the program's name and gives its exit status. The
// artist is made only once the arguments are known to be usable.
[[nodiscard]] int runInkslab(std::span<const std::string> args, ArtistMaker makeArtist);

}  // namespace kestrova::inkslab
