#include "app/support/log_tail.h"

#include <algorithm>
#include <fstream>

#include "app/platform/utf8.h"

namespace kestrova::Diagnostics {
namespace {

constexpr std::streamoff kBlock = 64 * 1024;

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

}  // namespace

// Read backwards in blocks: a log may be large, and the report wants only its end.
std::optional<std::string> lastLogLines(const std::string& path, std::size_t count) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::streamoff start = in ? static_cast<std::streamoff>(in.tellg()) : -1;
  if (start < 0) {
    return std::nullopt;
  }
  std::string tail;
  std::optional<std::size_t> cut;
  while (start > 0 && !cut) {
    const std::streamoff size = std::min(kBlock, start);
    start -= size;
    std::string block(static_cast<std::size_t>(size), '\0');
    if (!in.seekg(start) || !in.read(block.data(), size)) {
      return std::nullopt;
    }
    tail.insert(0, block);
    cut = count == 0 ? tail.size() : startOfLastLines(tail, count);
  }
  return withReplacementCharacters(std::string_view(tail).substr(cut.value_or(0)));
}

}  // namespace kestrova::Diagnostics
