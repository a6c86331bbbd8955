// Reading the string values of a bundle's Info.plist (an XML property list).
#pragma once

#include <map>
#include <string>

namespace kestrova {

// The key/string pairs of the property list's top-level dictionary. Values that are not strings
// (numbers, booleans, arrays, nested dictionaries) are left out; a missing or unreadable file
// gives an empty map.
[[nodiscard]] std::map<std::string, std::string> readInfoPlistStrings(const std::string& path);

}  // namespace kestrova
