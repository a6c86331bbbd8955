// Turns fuzzer bytes into the argument lists the fuzz targets feed the core, and stops the run
// when a property does not hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace kestrova::fuzzing {

// Splits the input at NUL bytes; each piece is one argument.
inline std::vector<std::string> splitAtNul(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> pieces(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0)
      pieces.emplace_back();
    else
      pieces.back().push_back(static_cast<char>(data[i]));
  }
  return pieces;
}

inline void require(bool property) {
  if (!property) std::abort();
}

}  // namespace kestrova::fuzzing
