// inkslab: draws one or two centred lines of text on a coloured card and saves it as PNG.
// Exit status 0 when the file was written, 1 after the usage line, 2 when writing failed.
// Standard output stays empty; standard error gets the usage line and nothing else.
// How a line is measured and which face draws it: text_setter.h.

#include <glib.h>

#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "tools/inkslab/arguments.h"
#include "tools/inkslab/atomic_file.h"
#include "tools/inkslab/card_renderer.h"
#include "tools/inkslab/png_encoder.h"
#include "tools/inkslab/text_setter.h"

namespace {

using namespace kestrova::inkslab;

constexpr int kExitWritten = 0;
constexpr int kExitUsage = 1;
constexpr int kExitWriteFailed = 2;

int usage() {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(kUsageLine.size()), kUsageLine.data());
  return kExitUsage;
}

// The text libraries' own warnings would break the promise of a quiet standard error.
GLogWriterOutput discardLog(GLogLevelFlags, const GLogField*, gsize, gpointer) {
  return G_LOG_WRITER_HANDLED;
}

int run(std::span<const std::string> args) {
  g_log_set_writer_func(discardLog, nullptr, nullptr);
  const auto request = parseArguments(args);
  if (!request) {
    return usage();
  }
  const auto setter = TextSetter::create();
  if (!setter) {
    return kExitWriteFailed;
  }
  auto card = renderCard(*request, *setter);
  if (!card) {
    return usage();
  }
  // Text drawn over an opaque background leaves it opaque.
  const auto png = encodePng(*card, request->background.alpha == 255);
  if (!png) {
    return kExitWriteFailed;
  }
  if (replaceFile(request->outPath, *png)) {
    return kExitWriteFailed;
  }
  return kExitWritten;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return run(args);
}
