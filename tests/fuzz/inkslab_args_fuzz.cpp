// inkslab's argument and colour reading never crashes, and what it accepts is drawable.
#include "tests/fuzz/fuzz_input.h"
#include "tools/inkslab/arguments.h"
#include "tools/inkslab/color.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrova::inkslab;
  using kestrova::fuzzing::require;
  const auto args = kestrova::fuzzing::splitAtNul(data, size);
  for (const auto& arg : args) {
    (void)parseColor(arg);
    require(characterCount(arg) <= arg.size());
  }
  const auto request = parseArguments(args);
  if (!request) return 0;
  require(request->width >= 0 && request->width <= kMaxSide && request->height >= 1 &&
          request->height <= kMaxSide && !request->lines.empty() && request->lines.size() <= 2);
  for (const auto& line : request->lines) require(isDrawableSize(line.size));
  return 0;
}
