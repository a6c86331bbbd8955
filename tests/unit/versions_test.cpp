#include "app/update/versions.h"

#include <gtest/gtest.h>

namespace kestrova::Updater {
namespace {

struct Order {
  const char* candidate;
  const char* current;
  bool newer;
};

TEST(VersionOrder, ComparesComponentWise) {
  const Order cases[] = {
      // Numeric, not textual, order.
      Order{"1.10", "1.9", true}, Order{"1.9", "1.10", false},
      // A missing component counts as 0; equal is not newer.
      Order{"1.2.0", "1.2", false}, Order{"1.2", "1.2.0", false}, Order{"1.2", "1.2", false},
      Order{"1.2.1", "1.2", true}, Order{"2", "1.99.99", true},
      // A component that is not a whole signed integer counts as 0.
      Order{"1.3-beta", "1.2", false}, Order{"1.3-beta", "1.0", false}, Order{"1. 3", "1.2", false},
      Order{"1.3 ", "1.2", false}, Order{"1.0x10", "1", false}, Order{"1.+3", "1.2", true},
      Order{"1.+-3", "1.0", false}, Order{"1.-+3", "1.0", false}, Order{"1.+", "1.0", false},
      Order{"1.-", "0.9", true},
      // Empty strings and empty components.
      Order{"", "0", false}, Order{"1", "", true}, Order{"", "", false}, Order{"1..3", "1.2", true},
      Order{".1", "0.9", true}, Order{"1.", "1.0", false},
      // Signed comparison.
      Order{"1.-1", "1", false}, Order{"1", "1.-1", true}, Order{"-2", "-3", true},
      // Leading zeros do not count.
      Order{"1.02", "1.2", false}, Order{"1.10", "1.09", true}, Order{"007", "7", false},
      // The 64-bit range: the largest values compare, anything beyond counts as 0.
      Order{"9223372036854775807", "9223372036854775806", true},
      Order{"9223372036854775808", "1", false}, Order{"99999999999999999999", "0.1", false},
      Order{"-9223372036854775808", "-9223372036854775807", false},
      Order{"0.-9223372036854775809", "0.-1", true}};
  for (const auto& c : cases) {
    EXPECT_EQ(isNewer(c.candidate, c.current), c.newer)
        << '"' << c.candidate << "\" against \"" << c.current << '"';
  }
}

}  // namespace
}  // namespace kestrova::Updater
