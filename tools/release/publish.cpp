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
#include "app/platform/utf8.h"
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

// Why `base` (an http or https address ending in "/") cannot hold the images, or absent.
std::optional<std::string> baseURLProblem(const std::string& base) {
  const std::string authority = base.substr(base.find("://") + 3);
  const std::string host = authority.substr(0, authority.find('/'));
  if (host.empty() || host.starts_with(':')) return "names no host";
  // The feed is public: credentials in it would be every station's to read.
  if (host.find('@') != std::string::npos) return "carries credentials";
  // A query or fragment would swallow the image's name.
  if (base.find_first_of("?#") != std::string::npos) return "has a query or fragment";
  return std::nullopt;
}

// The notes as the feed will carry them, or why they cannot be.
std::optional<std::string> readNotes(const std::string& file, std::string& notes) {
  std::error_code error;
  if (fs::is_directory(file, error)) return "The notes file " + file + " is a folder.";
  auto text = readWholeFile(file);
  if (!text) return "The notes file " + file + " cannot be read.";
  // The feed is JSON, which holds only UTF-8 text.
  if (!isValidUtf8(*text)) return "The notes file " + file + " is not UTF-8 text.";
  notes = std::move(*text);
  return std::nullopt;
}

// Every input is checked here, before anything is built or written.
std::variant<Plan, std::string> plan(const PublishOptions& options, ToolPlatform& tool) {
  if (auto why = misreading(options.version)) {
    return "Refusing " + options.version + ": " + *why;
  }
  Plan plan;
  plan.imageName = "Kestrova-" + options.version + ".dmg";
  std::string base = options.baseURL.value_or(defaultBaseURL());
  if (!base.ends_with('/')) base += '/';
  plan.imageURL = base + plan.imageName;
  // The app must also parse the image's address.
  if (!isWebAddress(base) || !Updater::isURL(plan.imageURL)) {
    return "The base URL " + base +
           " does not parse as an http or https folder address the image can be named under.";
  }
  if (auto why = baseURLProblem(base)) return "The base URL " + base + " " + *why + ".";
  if (options.notesFile) {
    if (auto why = readNotes(*options.notesFile, plan.notes)) return *why;
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

// The files of a publication, each written beside its final name and renamed into place only
// once all are written, so that a failure part way replaces nothing of an earlier publication.
// Whatever was not placed is removed, with the folder when it was made for them.
class Staged {
 public:
  explicit Staged(std::string dir) : dir_(std::move(dir)), madeDir_(!fs::exists(dir_)) {}
  ~Staged() {
    std::error_code ignored;
    for (const auto& name : names_) fs::remove(partial(name), ignored);
    if (madeDir_ && !placed_) fs::remove(dir_, ignored);  // only when empty
  }
  Staged(const Staged&) = delete;
  Staged& operator=(const Staged&) = delete;

  // Where `name` is written until it is placed.
  std::string add(const std::string& name) {
    names_.push_back(name);
    return partial(name);
  }
  [[nodiscard]] std::string final(const std::string& name) const { return dir_ + "/" + name; }
  // Renames every file into place, in the order they were added.
  std::optional<std::string> place() {
    std::error_code error;
    for (const auto& name : names_) {
      fs::rename(partial(name), final(name), error);
      if (error) return "Could not write " + final(name) + ": " + error.message();
    }
    placed_ = true;
    return std::nullopt;
  }

 private:
  std::string dir_;
  bool madeDir_;
  bool placed_ = false;
  std::vector<std::string> names_;

  [[nodiscard]] std::string partial(const std::string& name) const {
    return dir_ + "/." + name + ".partial";
  }
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
  Staged staged(plan.outDir);
  std::error_code error;
  fs::create_directories(plan.outDir, error);
  const std::string image = staged.add(plan.imageName);
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
  const std::string feed = staged.add("appcast.json");
  if (auto failed = writeFileAtomically(feed, text)) {
    return "Could not write " + feed + ": " + *failed;
  }
  if (auto failed = staged.place()) return failed;
  printUploads(out, release, staged.final(plan.imageName), staged.final("appcast.json"));
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
