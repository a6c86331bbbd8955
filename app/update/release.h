// One published release, as the release feed describes it.
#pragma once

#include <string>

namespace kestrova::Updater {

struct Release {
  std::string version;   // exactly as published
  std::string url;       // the disk image's address
  std::string sha256;    // hexadecimal digest, lower-cased, not trimmed
  std::string notes;     // empty when the feed gives none
  double published = 0;  // seconds since 1970-01-01 00:00 UTC
  bool critical = false;
  bool operator==(const Release&) const = default;
};

}  // namespace kestrova::Updater
