// One published release, as the release feed describes it.
#pragma once

#include <string>

namespace kestrova::Updater {

struct Release {
  std::string version;    // exactly as published
  std::string url;        // the disk image's address
  std::string sha256;     // lower-cased hexadecimal digest
  std::string notes;      // empty when the feed gives none
  std::string published;  // empty when the feed gives none
  bool critical = false;
  bool operator==(const Release&) const = default;
};

}  // namespace kestrova::Updater
