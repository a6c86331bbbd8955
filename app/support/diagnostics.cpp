#include "app/support/diagnostics.h"

#include <filesystem>

#include "app/engine/paths.h"
#include "app/engine/shell.h"
#include "app/platform/atomic_file.h"
#include "app/platform/file_text.h"
#include "app/platform/platform.h"
#include "app/support/log_tail.h"

namespace kestrova::Diagnostics {

namespace {

constexpr std::size_t kLogLines = 400;

}  // namespace

std::string reportPath() {
  return platform().host().homeDirectory() + "/Desktop/Kestrova-Diagnostics.txt";
}

ReportFacts gather(EngineStatus status) {
  const Host& host = platform().host();
  ReportFacts facts;
  facts.generated = host.now();
  facts.appVersion = host.infoString("CFBundleShortVersionString");
  facts.osVersion = host.osVersionText();
  std::error_code ec;
  facts.agentInstalled = std::filesystem::exists(Paths::agentPlist(), ec);
  facts.status = status;
  facts.configText = readWholeFile(Paths::configFile());
  if (!facts.configText && std::filesystem::exists(Paths::configFile(), ec)) {
    facts.configText = "";  // there, but unreadable: its secrets are unknown
  }
  // Read here rather than through the tool, whose output the command runner drops whole when it
  // is not UTF-8. The tool's own complaint (no such file) is what support sees when there is no
  // log to read.
  const std::string log = Paths::logDir() + "/stream.log";
  if (auto tail = lastLogLines(log, kLogLines)) {
    facts.logTail = std::move(*tail);
  } else {
    facts.logTail = shell(platform().tools().tail, {"-n", std::to_string(kLogLines), log}).output;
  }
  return facts;
}

void save(EngineStatus status) {
  const std::string path = reportPath();
  Ui& ui = platform().ui();
  // A Mac always has a Desktop; another system's home may not. A failure here shows up as the
  // write's own failure below.
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  if (const auto failure = writeFileAtomically(path, buildReport(gather(status)))) {
    platform().host().systemLog("Kestrova: diagnostics report not written: " + *failure);
    (void)ui.runAlert({kNotSavedMessage, *failure, {"OK"}, std::nullopt});
    return;
  }
  ui.revealFile(path);
  (void)ui.runAlert({kSavedMessage, kSavedText, {"OK"}, std::nullopt});
}

}  // namespace kestrova::Diagnostics
