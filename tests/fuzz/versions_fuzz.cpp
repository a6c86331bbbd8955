// Version comparison is a strict order over any texts: irreflexive, asymmetric and transitive,
// so an update can never be offered back and forth.
#include <cstdint>
#include <cstdlib>

#include "app/update/versions.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using kestrova::Updater::isNewer;
  auto parts = kestrova::fuzzing::splitAtNul(data, size);
  parts.resize(3);
  const auto& a = parts[0];
  const auto& b = parts[1];
  const auto& c = parts[2];
  if (isNewer(a, a) || isNewer(b, b)) {
    std::abort();
  }
  if (isNewer(a, b) && isNewer(b, a)) {
    std::abort();
  }
  if (isNewer(a, b) && isNewer(b, c) && !isNewer(a, c)) {
    std::abort();
  }
  return 0;
}
