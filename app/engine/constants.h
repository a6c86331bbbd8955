// Program-wide constants naming the product, its bundle, the engine's agent and default port.
#pragma once

#include <cstdint>

namespace kestrova {

inline constexpr const char* kAppName = "Kestrova";
inline constexpr const char* kBundleID = "com.talmiro.kestrova";
inline constexpr const char* kAgentLabel = "com.talmiro.kestrova.engine";
inline constexpr std::int64_t kDefaultPort = 8787;

}  // namespace kestrova
