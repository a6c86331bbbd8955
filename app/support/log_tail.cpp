#include "app/support/log_tail.h"

#include <algorithm>
#include <fstream>

#include "app/platform/utf8.h"

namespace kestrova::Diagnostics {
namespace {

// Where the last `count` lines of `text` begin, when `text` holds that many whole lines.
std::optional<std::size_t> startOfLastLines(const std::string& text, std::size_t count) {
  std::size_t end = text.size();
  if (end > 0 && text[end - 1] == '\n') {
    --end;  // the final line feed ends the last line
  }
  for (std::size_t found = 0; end > 0; --end) {
    if (text[end - 1] == '\n' && ++found == count) {
      return end;
    }
  }
  return std::nullopt;
}

// Where the first line that begins inside a window cut from a longer file starts; the whole
// window when a single line fills it.
std::size_t firstWholeLine(const std::string& window) {
  const auto feed = window.find('\n');
  return feed == std::string::npos || feed + 1 == window.size() ? 0 : feed + 1;
}

}  // namespace

// One read of the file's end, scanned once: a log may be huge, or written as one endless line
// (progress output ends its lines with a carriage return alone), and the report wants its end.
std::optional<std::string> lastLogLines(const std::string& path, std::size_t count) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : -1;
  if (size < 0) {
    return std::nullopt;
  }
  const std::streamoff start = std::max<std::streamoff>(0, size - kMaxLogTailBytes);
  std::string window(static_cast<std::size_t>(size - start), '\0');
  if (!in.seekg(start) || !in.read(window.data(), size - start)) {
    return std::nullopt;
  }
  if (count == 0) {
    return std::string();
  }
  const std::size_t cut =
      startOfLastLines(window, count).value_or(start > 0 ? firstWholeLine(window) : 0);
  return withReplacementCharacters(std::string_view(window).substr(cut));
}

}  // namespace kestrova::Diagnostics
