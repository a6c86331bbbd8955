// Any feed document is read without crashing, and an accepted one obeys the record's rules.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/update/release_feed.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  const auto release = kestrova::Updater::parseRelease(body);
  if (!release) {
    return 0;
  }
  for (const char c : release->sha256) {
    if (c >= 'A' && c <= 'Z') {
      std::abort();
    }
  }
  if (release->url.empty()) {
    std::abort();
  }
  return 0;
}
