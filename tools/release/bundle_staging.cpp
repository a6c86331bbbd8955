#include "tools/release/bundle_staging.h"

#include <filesystem>
#include <pugixml.hpp>
#include <system_error>

#include "app/platform/info_plist.h"

namespace kestrova::release {
namespace {

namespace fs = std::filesystem;

// Sets the string value of `key` in the top-level dictionary, adding the pair when missing.
void setString(pugi::xml_node dict, const char* key, const std::string& value) {
  for (pugi::xml_node found = dict.child("key"); found; found = found.next_sibling("key")) {
    if (std::string(found.child_value()) == key) {
      pugi::xml_node string = found.next_sibling();
      if (string && std::string(string.name()) == "string") {
        string.text().set(value.c_str());
        return;
      }
      dict.insert_child_after("string", found).text().set(value.c_str());
      return;
    }
  }
  dict.append_child("key").text().set(key);
  dict.append_child("string").text().set(value.c_str());
}

std::optional<std::string> stamp(const std::string& plist, const std::string& version) {
  pugi::xml_document document;
  if (!document.load_file(plist.c_str(), pugi::parse_full)) {
    return plist + " is not an XML property list.";
  }
  pugi::xml_node dict = document.child("plist").child("dict");
  if (!dict) {
    return plist + " has no top-level dictionary.";
  }
  setString(dict, "CFBundleShortVersionString", version);
  setString(dict, "CFBundleVersion", version);
  if (!document.save_file(plist.c_str(), "  ")) {
    return "Could not write " + plist + ".";
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> stageBundle(const std::string& bundle, const std::string& copy,
                                       const std::string& version) {
  const std::string plist = copy + "/Contents/Info.plist";
  std::error_code error;
  if (!fs::exists(bundle + "/Contents/Info.plist", error)) {
    return "There is no built bundle at " + bundle + " (no Contents/Info.plist).";
  }
  fs::copy(bundle, copy, fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
  if (error) {
    return "Could not copy " + bundle + ": " + error.message();
  }
  if (auto failed = stamp(plist, version)) {
    return failed;
  }
  // Read back as the app reads it, so that what stations will report is what was asked for.
  const auto strings = readInfoPlistStrings(plist);
  const auto found = strings.find("CFBundleShortVersionString");
  if (found == strings.end() || found->second != version) {
    return "The staged Info.plist does not read back as version " + version + ".";
  }
  return std::nullopt;
}

}  // namespace kestrova::release
