// The agent's property list parses as XML for any program arguments and gives every argument
// back unchanged, including markup characters and non-ASCII text.
#include <pugixml.hpp>

#include "app/engine/agent.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/support/test_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static auto* installed = new kestrova::testing::TestPlatform();  // lives for the whole run
  (void)installed;
  const std::vector<std::string> args = kestrova::fuzzing::splitAtNul(data, size);
  // XML 1.0 cannot carry most control characters at all; launchd never sees them in paths.
  for (const auto& arg : args) {
    for (const unsigned char c : arg) {
      if (c < 0x20 && c != '\t' && c != '\n') return 0;
    }
  }
  const std::string text = kestrova::Agent::plist(args);
  pugi::xml_document document;
  // Keep white space and line ends exactly as written: an argument may be nothing else.
  const unsigned options = (pugi::parse_default | pugi::parse_ws_pcdata) & ~pugi::parse_eol;
  kestrova::fuzzing::require(document.load_string(text.c_str(), options));
  std::vector<std::string> back;
  for (auto node = document.child("plist").child("dict").child("array").child("string"); node;
       node = node.next_sibling("string")) {
    back.emplace_back(node.child_value());
  }
  kestrova::fuzzing::require(back == args);
  return 0;
}
