// Version comparison is a strict order over any texts: irreflexive, asymmetric and transitive,
// so an update can never be offered back and forth.
#include "app/update/versions.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using kestrova::fuzzing::require;
  using kestrova::Updater::isNewer;
  auto parts = kestrova::fuzzing::splitAtNul(data, size);
  parts.resize(3);
  const auto &a = parts[0], &b = parts[1], &c = parts[2];
  require(!isNewer(a, a) && !(isNewer(a, b) && isNewer(b, a)));
  require(!(isNewer(a, b) && isNewer(b, c)) || isNewer(a, c));
  return 0;
}
