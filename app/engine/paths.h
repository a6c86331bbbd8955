// Where the engine's files live and which port it listens on, computed afresh on every use.
#pragma once

#include <cstdint>
#include <string>

namespace kestrova::Paths {

// home/Library/Application Support/Kestrova
[[nodiscard]] std::string engineDataDir();
// engineDataDir()/config.json
[[nodiscard]] std::string configFile();
[[nodiscard]] std::string logDir();
[[nodiscard]] std::string agentPlist();
// `port` from config.json; kDefaultPort when the file, the JSON or the value does not serve.
[[nodiscard]] std::int64_t port();
// "http://127.0.0.1:<port>/"
[[nodiscard]] std::string dashboardURL();
// "http://127.0.0.1:<port>" + path, for the engine's API addresses.
[[nodiscard]] std::string engineURL(const std::string& path);

}  // namespace kestrova::Paths
