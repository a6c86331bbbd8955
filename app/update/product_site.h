// The product's public addresses, fixed when the application is built: website, feed, support.
#pragma once

namespace kestrova {

// The product's home page; Help opens it.
inline constexpr const char* kProductWebsite = "https://kestrova.talmiro.com/";
// The release feed on the product's website, used unless config.json names another.
inline constexpr const char* kFeedURL = "https://kestrova.talmiro.com/appcast.json";
// Where users report problems; named in the update messages and the help texts.
inline constexpr const char* kSupportEmail = "support@talmiro.com";

}  // namespace kestrova
