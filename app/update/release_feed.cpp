#include "app/update/release_feed.h"

#include <nlohmann/json.hpp>

#include "app/platform/untrusted_json.h"
#include "app/update/url_syntax.h"
#include "app/update/versions.h"

namespace kestrova::Updater {
namespace {

using nlohmann::json;

std::optional<std::string> stringAt(const json& object, const char* key) {
  const auto found = object.find(key);
  if (found == object.end() || !found->is_string()) {
    return std::nullopt;
  }
  return found->get<std::string>();
}

bool isDigest(std::string_view text) {
  return text.size() == 64 &&
         text.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

std::string asciiLowercase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return text;
}

// A feed may mark a release critical with true, or with the number 1 as some publishing tools
// write booleans; anything else is not critical.
bool criticalFlag(const json& object) {
  const auto found = object.find("critical");
  if (found == object.end()) {
    return false;
  }
  if (found->is_boolean()) {
    return found->get<bool>();
  }
  return found->is_number() && found->get<double>() == 1.0;
}

}  // namespace

std::optional<Release> parseRelease(std::string_view body) {
  // Non-throwing parse: a body that is not JSON (an error page, say) is simply no feed.
  const json document = parseUntrustedJson(body);
  if (document.is_discarded() || !document.is_object()) {
    return std::nullopt;
  }
  Release release;
  auto version = stringAt(document, "version");
  // The version names the image's file and reaches the tools that check it.
  if (!version || !isPlainVersion(*version)) {
    return std::nullopt;
  }
  auto url = stringAt(document, "url");
  if (!url || !isURL(*url)) {
    return std::nullopt;
  }
  auto sha256 = stringAt(document, "sha256");
  if (!sha256 || !isDigest(*sha256)) {
    return std::nullopt;
  }
  const auto published = document.find("published");
  if (published == document.end() || !published->is_number()) {
    return std::nullopt;
  }
  release.version = std::move(*version);
  release.url = std::move(*url);
  release.sha256 = asciiLowercase(std::move(*sha256));
  release.published = published->get<double>();
  release.notes = stringAt(document, "notes").value_or("");
  release.critical = criticalFlag(document);
  return release;
}

}  // namespace kestrova::Updater
