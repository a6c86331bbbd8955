#include <cstring>
#include <pugixml.hpp>

#include "app/platform/info_plist.h"

namespace kestrova {

std::map<std::string, std::string> readInfoPlistStrings(const std::string& path) {
  std::map<std::string, std::string> strings;
  pugi::xml_document document;
  if (!document.load_file(path.c_str())) return strings;
  const pugi::xml_node dict = document.child("plist").child("dict");
  for (pugi::xml_node key = dict.child("key"); key; key = key.next_sibling("key")) {
    const pugi::xml_node value = key.next_sibling();
    if (!value || std::strcmp(value.name(), "string") != 0) continue;
    // A repeated key keeps its first value.
    strings.emplace(key.child_value(), value.child_value());
  }
  return strings;
}

}  // namespace kestrova
