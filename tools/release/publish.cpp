#include "tools/release/publish.h"

#include <cctype>
#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <variant>
#include <vector>

#include "app/engine/shell.h"
#include "app/platform/atomic_file.h"
#include "app/platform/file_text.h"
#include "app/update/product_site.h"
#include "app/update/url_syntax.h"
#include "tools/release/bundle_staging.h"
#include "tools/release/feed_document.h"
#include "tools/release/previous_feed.h"
#include "tools/release/signing.h"
#include "tools/release/tool_platform.h"
#include "tools/release/version_reading.h"

namespace kestrova::release {
namespace {

namespace fs = std::filesystem;

// What the checks before any work settle: where the image will live, and the notes.
struct Plan {
  std::string imageName;
  std::string imageURL;
  std::string notes;
  std::string outDir;
};

// The folder the built-in feed lives in: images go beside the feed unless told otherwise.
std::string defaultBaseURL() {
  const std::string feed = kFeedURL;
  return feed.substr(0, feed.rfind('/') + 1);
}

std::optional<std::string> nonEmpty(const std::optional<std::string>& value) {
  return value && !value->empty() ? value : std::nullopt;
}

std::variant<Plan, std::string> plan(const PublishOptions& options, ToolPlatform& tool) {
  if (auto why = misreading(options.version)) {
    return "Refusing " + options.version + ": " + *why;
  }
  Plan plan;
  plan.imageName = "Kestrova-" + options.version + ".dmg";
  std::string base = options.baseURL.value_or(defaultBaseURL());
  if (!base.ends_with('/')) base += '/';
  plan.imageURL = base + plan.imageName;
  // A query or fragment would swallow the image's name; the app must also parse the result.
  if (!isWebAddress(base) || base.find_first_of("?#") != std::string::npos ||
      !Updater::isURL(plan.imageURL)) {
    return "The base URL " + base +
           " does not parse as an http or https folder address the image can be named under.";
  }
  if (options.notesFile) {
    auto notes = readWholeFile(*options.notesFile);
    if (!notes) return "The notes file " + *options.notesFile + " cannot be read.";
    plan.notes = std::move(*notes);
  }
  if (options.previousFeed) {
    auto previous = readFeed(*options.previousFeed, tool);
    if (auto* failure = std::get_if<std::string>(&previous)) return *failure;
    if (auto why = notNewer(options.version, std::get<Updater::Release>(previous).version)) {
      return *why;
    }
  }
  plan.outDir = options.outDir.value_or(std::string(KESTROVA_RELEASES_DIR) + "/" + options.version);
  return plan;
}

// Builds the signed image of the stamped bundle at `image`; absent on success, else what failed.
std::optional<std::string> buildImage(const PublishOptions& options, const Signer& signer,
                                      const std::string& scratch, const std::string& image,
                                      std::ostream& notes) {
  const std::string volume = scratch + "/volume";
  const std::string bundle = volume + "/Kestrova.app";
  std::error_code error;
  fs::create_directories(volume, error);
  if (auto failed = stageBundle(options.bundle, bundle, options.version)) return failed;
  if (auto failed = signBundle(signer, bundle)) return failed;
  const auto made = shell(
      platform().tools().hdiutil,
      {"create", "-volname", "Kestrova", "-srcfolder", volume, "-ov", "-format", "UDZO", image});
  if (made.status != 0) return toolFailure("hdiutil create", made.status, made.output);
  if (auto failed = signImage(signer, image)) return failed;
  return notarize(signer, image, notes);
}

// The files a publication writes into the output folder; removed again unless kept, together
// with the folder when it was made for them.
class Written {
 public:
  explicit Written(std::string dir) : dir_(std::move(dir)), madeDir_(!fs::exists(dir_)) {}
  ~Written() {
    if (kept_) return;
    std::error_code ignored;
    for (const auto& file : files_) fs::remove(file, ignored);
    if (madeDir_) fs::remove(dir_, ignored);  // only when empty
  }
  Written(const Written&) = delete;
  Written& operator=(const Written&) = delete;

  std::string file(const std::string& name) {
    files_.push_back(dir_ + "/" + name);
    return files_.back();
  }
  void keep() { kept_ = true; }

 private:
  std::string dir_;
  bool madeDir_;
  bool kept_ = false;
  std::vector<std::string> files_;
};

std::optional<std::string> moveFile(const std::string& from, const std::string& to) {
  std::error_code error;
  fs::rename(from, to, error);
  if (error == std::errc::cross_device_link) {
    error.clear();
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
  }
  return error ? std::optional("Could not write " + to + ": " + error.message()) : std::nullopt;
}

// The image's SHA-256 digest as the app computes it when it verifies a download.
std::variant<std::string, ShellResult> digestOf(const std::string& file) {
  const auto summed = shell(platform().tools().shasum, {"-a", "256", file});
  std::string digest = summed.output.substr(0, summed.output.find_first_of(" \t\n"));
  for (char& c : digest) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (summed.status != 0 || digest.size() != 64) return summed;
  return digest;
}

std::string timeText(double seconds) {
  const std::time_t when = static_cast<std::time_t>(seconds);
  std::tm utc{};
  gmtime_r(&when, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &utc);
  return text;
}

void printUploads(std::ostream& out, const Updater::Release& release, const std::string& image,
                  const std::string& feed) {
  const std::string base = release.url.substr(0, release.url.rfind('/') + 1);
  out << "Kestrova " << release.version << (release.critical ? " (critical)" : "")
      << " is ready, published " << timeText(release.published) << ".\n"
      << "Upload, in this order, so that the feed never names a missing image:\n"
      << "  1. " << image << "\n     to " << release.url << "\n"
      << "  2. " << feed << "\n     to the feed's address, such as " << base << "appcast.json\n"
      << "Stations read " << kFeedURL << ", or the update_feed address in their config.json.\n"
      << "The image's SHA-256 digest is " << release.sha256 << ".\n"
      << "After uploading, check the release as a station will:\n"
      << "  ./dev release --verify " << base << "appcast.json\n";
}

std::optional<std::string> publishPlanned(const PublishOptions& options, const Plan& plan,
                                          const Signer& signer, std::ostream& out,
                                          std::ostream& notes) {
  const ScratchFolder scratch;
  if (scratch.path().empty()) return std::string("Could not make a scratch folder.");
  const std::string built = scratch.path() + "/" + plan.imageName;
  if (auto failed = buildImage(options, signer, scratch.path(), built, notes)) return failed;
  std::error_code error;
  Written written(plan.outDir);
  fs::create_directories(plan.outDir, error);
  const std::string image = written.file(plan.imageName);
  if (auto failed = moveFile(built, image)) return failed;
  const auto digest = digestOf(image);
  if (const auto* failed = std::get_if<ShellResult>(&digest)) {
    return toolFailure("shasum", failed->status, failed->output);
  }
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const Updater::Release release{options.version,
                                 plan.imageURL,
                                 std::get<std::string>(digest),
                                 plan.notes,
                                 std::floor(std::chrono::duration<double>(now).count()),
                                 options.critical};
  const std::string text = feedDocument(release);
  if (auto refused = readsBackAs(text, release)) return refused;
  const std::string feed = written.file("appcast.json");
  if (auto failed = writeFileAtomically(feed, text))
    return "Could not write " + feed + ": " + *failed;
  written.keep();
  printUploads(out, release, image, feed);
  return std::nullopt;
}

}  // namespace

std::optional<std::string> publish(const PublishOptions& options, std::ostream& out,
                                   std::ostream& notes) {
  ToolPlatform tool(options.bundle, publisherTools(options.bundle));
  auto planned = plan(options, tool);
  if (auto* refusal = std::get_if<std::string>(&planned)) return *refusal;
  const Host& host = platform().host();
  const Signer signer{nonEmpty(host.environment("KESTROVA_SIGN_IDENTITY")),
                      nonEmpty(host.environment("KESTROVA_NOTARY_PROFILE"))};
  if (!signer.identity) {
    notes << "Warning: KESTROVA_SIGN_IDENTITY is not set, so Kestrova.app and the image are "
             "signed ad hoc. Gatekeeper will refuse the image on other Macs, and so will every "
             "station's update check.\n";
  }
  return publishPlanned(options, std::get<Plan>(planned), signer, out, notes);
}

}  // namespace kestrova::release
