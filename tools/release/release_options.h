// The publisher's command line: publish a version, or check a published feed.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace kestrova::release {

// Every member has a default, so that a caller names only what it sets.
struct PublishOptions {
  std::string version{};
  std::optional<std::string> notesFile{};
  bool critical = false;
  std::optional<std::string> baseURL{};       // absent: the product website's folder
  std::optional<std::string> previousFeed{};  // a file or a URL
  std::string bundle{};                       // the built Kestrova.app to publish
  std::optional<std::string> outDir{};        // absent: <releases folder>/<version>
};

struct VerifyOptions {
  std::string feedURL;
  std::optional<std::string> previousFeed;
  std::string bundle;  // the copy whose signing team stations compare the image with
};

using Options = std::variant<PublishOptions, VerifyOptions>;

// The options, or the message explaining what is wrong with the command line.
[[nodiscard]] std::variant<Options, std::string> parseOptions(const std::vector<std::string>& args,
                                                              const std::string& builtBundle);

extern const char* const kUsage;

}  // namespace kestrova::release
