// inkslab's argument and colour reading never crashes, and what it accepts is drawable.
#include <cstdint>
#include <cstdlib>

#include "tests/fuzz/fuzz_input.h"
#include "tools/inkslab/arguments.h"
#include "tools/inkslab/color.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrova::inkslab;
  const auto args = kestrova::fuzzing::splitAtNul(data, size);
  for (const auto& arg : args) {
    (void)parseColor(arg);
    (void)characterCount(arg);
  }
  const auto request = parseArguments(args);
  if (!request) {
    return 0;
  }
  const bool sane = request->width >= 0 && request->width <= kMaxSide && request->height >= 1 &&
                    request->height <= kMaxSide && !request->lines.empty() &&
                    request->lines.size() <= 2;
  if (!sane) {
    std::abort();
  }
  for (const auto& line : request->lines) {
    if (!isDrawableSize(line.size)) {
      std::abort();
    }
  }
  return 0;
}
