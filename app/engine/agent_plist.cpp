// The agent's property-list text.
#include <string>
#include <vector>

#include "app/engine/agent.h"
#include "app/engine/agent_locations.h"
#include "app/engine/constants.h"
#include "app/engine/paths.h"
#include "app/engine/xml_text.h"

namespace kestrova::Agent {
namespace {

std::string stringElement(const std::string& value) {
  return "<string>" + xmlEscaped(value) + "</string>";
}

}  // namespace

std::string plist(const std::vector<std::string>& programArgs) {
  const std::string logDir = Paths::logDir();
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\">\n"
      "<dict>\n";
  text += "  <key>Label</key>" + stringElement(kAgentLabel) + "\n";
  text += "  <key>ProgramArguments</key>\n";
  text += "  <array>\n";
  for (const auto& argument : programArgs) {
    text += "    " + stringElement(argument) + "\n";
  }
  text += "  </array>\n";
  text += "  <key>RunAtLoad</key><true/>\n";
  text += "  <key>KeepAlive</key><true/>\n";
  text += "  <key>ThrottleInterval</key><integer>10</integer>\n";
  text += "  <key>StandardOutPath</key>" + stringElement(logDir + "/agent.out") + "\n";
  text += "  <key>StandardErrorPath</key>" + stringElement(logDir + "/agent.err") + "\n";
  text += "  <key>EnvironmentVariables</key>\n";
  text += "  <dict>\n";
  text += "    <key>KESTROVA_RESOURCES</key>" + stringElement(resourcesValue()) + "\n";
  text += "  </dict>\n";
  text += "</dict>\n";
  text += "</plist>";
  return text;
}

}  // namespace kestrova::Agent
