#include "tests/support/standin_machine.h"

#include <httplib.h>
#include <unistd.h>

#include <filesystem>

#include "app/engine/constants.h"
#include "app/engine/shell.h"
#include "standins/system/process_facts.h"
#include "tests/support/system_view.h"

namespace kestrova::testing {

namespace fs = std::filesystem;

StandinMachine::StandinMachine() {
  env.host.realSleeps = true;
  env.host.uid = ::getuid();
  env.host.env["KESTROVA_ALLOW_ANYWHERE"] = "1";
  env.sandbox.write(kConfigFile, "{\"port\": " + std::to_string(port) + "}");
  useCopy(placeCopy("Apps"));
}

StandinMachine::~StandinMachine() { (void)shell(launchctl(), {"x-power-cut"}); }

std::string StandinMachine::placeCopy(const std::string& folder) {
  const std::string bundle = env.sandbox.path(folder + "/Kestrova.app");
  fs::create_directories(bundle + "/Contents");
  fs::copy(std::string(KESTROVA_BUNDLE_DIR) + "/Contents/Resources", bundle + "/Contents/Resources",
           fs::copy_options::recursive);
  return bundle;
}

void StandinMachine::useCopy(const std::string& bundle) {
  env.host.bundle = bundle;
  env.host.resources = bundle + "/Contents/Resources";
}

std::string StandinMachine::launchctl() { return standinTools().launchctl; }

bool StandinMachine::engineAnswers() const {
  httplib::Client client("127.0.0.1", port);
  client.set_connection_timeout(1);
  client.set_read_timeout(2);
  const auto reply = client.Get("/api/status");
  return reply && reply->status == 200;
}

std::optional<pid_t> StandinMachine::enginePid() const {
  const ShellResult printed =
      shell(launchctl(), {"print", "gui/" + std::to_string(::getuid()) + "/" + kAgentLabel});
  // The pid `launchctl print` shows is the supervisor's guard, the caffeinate.
  const auto at = printed.output.find("\tpid = ");
  if (printed.status != 0 || at == std::string::npos) return std::nullopt;
  const std::vector<pid_t> children = standin::childrenOf(std::stoi(printed.output.substr(at + 7)));
  return children.empty() ? std::nullopt : std::optional(children.front());
}

}  // namespace kestrova::testing
