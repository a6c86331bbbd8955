#include "tools/inkslab/card_program.h"

#include <cstdio>

#include "tools/inkslab/atomic_file.h"

namespace kestrova::inkslab {
namespace {

int usage() {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(kUsageLine.size()), kUsageLine.data());
  return kExitUsage;
}

}  // namespace

int runInkslab(std::span<const std::string> args, ArtistMaker makeArtist) {
  const auto request = parseArguments(args);
  if (!request) {
    return usage();
  }
  const auto artist = makeArtist();
  if (!artist) {
    return kExitWriteFailed;
  }
  const std::vector<double> widths = artist->measure(request->lines);
  std::vector<LineMetrics> metrics;
  for (std::size_t i = 0; i < request->lines.size() && i < widths.size(); ++i) {
    metrics.push_back({widths[i], request->lines[i].size});
  }
  // A text too wide for the largest card is refused like a card asked too large.
  const auto width = cardWidth(request->width, metrics, kMaxSide);
  if (metrics.size() != request->lines.size() || !width || *width * request->height > kMaxPixels) {
    return usage();
  }
  const CardLayout layout{
      static_cast<int>(*width), static_cast<int>(request->height),
      placeLines(static_cast<double>(*width), static_cast<double>(request->height), metrics)};
  const PaintResult painted = artist->paint(*request, layout);
  if (const auto* failure = std::get_if<PaintFailure>(&painted)) {
    return *failure == PaintFailure::kTooLarge ? usage() : kExitWriteFailed;
  }
  if (replaceFile(request->outPath, std::get<std::vector<std::uint8_t>>(painted))) {
    return kExitWriteFailed;
  }
  return kExitWritten;
}

}  // namespace kestrova::inkslab
