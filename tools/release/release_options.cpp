#include "tools/release/release_options.h"

#include <map>
#include <set>

namespace kestrova::release {

const char* const kUsage =
    "usage: kestrova-release VERSION [--notes FILE] [--critical] [--base-url URL]\n"
    "                        [--previous-feed FILE|URL] [--bundle PATH] [--out DIR]\n"
    "       kestrova-release --verify FEED-URL [--previous-feed FILE|URL] [--bundle PATH]\n";

namespace {

// Options that take a value; --critical is the one flag.
const std::set<std::string> kValued = {"--base-url", "--previous-feed", "--notes",
                                       "--bundle",   "--out",           "--verify"};

struct Words {
  std::vector<std::string> positional;
  std::map<std::string, std::string> valued;
  bool critical = false;
};

std::variant<Words, std::string> split(const std::vector<std::string>& args) {
  Words words;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (word == "--critical") {
      words.critical = true;
    } else if (kValued.contains(word)) {
      // An option's name is never its neighbour's value: `--out --critical` names no folder.
      if (i + 1 >= args.size() || args[i + 1].starts_with("--")) {
        return word + " needs a value.";
      }
      words.valued[word] = args[++i];
    } else if (word.starts_with("--")) {
      return "Unknown option " + word + ".";
    } else {
      words.positional.push_back(word);
    }
  }
  return words;
}

std::optional<std::string> valueOf(const Words& words, const std::string& name) {
  const auto found = words.valued.find(name);
  return found == words.valued.end() ? std::nullopt : std::optional(found->second);
}

}  // namespace

std::variant<Options, std::string> parseOptions(const std::vector<std::string>& args,
                                                const std::string& builtBundle) {
  auto parsed = split(args);
  if (auto* error = std::get_if<std::string>(&parsed)) {
    return *error;
  }
  const Words& words = std::get<Words>(parsed);
  const std::string bundle = valueOf(words, "--bundle").value_or(builtBundle);
  if (auto feed = valueOf(words, "--verify")) {
    if (!words.positional.empty() || words.critical || valueOf(words, "--notes") ||
        valueOf(words, "--base-url") || valueOf(words, "--out")) {
      return std::string(
          "--verify takes a feed URL and, optionally, --previous-feed and --bundle.");
    }
    return Options(VerifyOptions{*feed, valueOf(words, "--previous-feed"), bundle});
  }
  if (words.positional.size() != 1) {
    return std::string("Name exactly one version to publish.");
  }
  return Options(PublishOptions{words.positional[0], valueOf(words, "--notes"), words.critical,
                                valueOf(words, "--base-url"), valueOf(words, "--previous-feed"),
                                bundle, valueOf(words, "--out")});
}

}  // namespace kestrova::release
