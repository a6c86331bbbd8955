// The configuration's secret values, and their removal from text in every spelling a log uses.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::Diagnostics {

// Configuration keys whose values never leave the machine, wherever they stand in the file.
inline constexpr std::string_view kSecretKeys[] = {
    "stream_key",       "password",      "telegram_token", "wa_token",     "yt_api_key",
    "yt_client_secret", "fb_page_token", "fb_rtmp_url",    "assistant_key"};

[[nodiscard]] bool isSecretKey(std::string_view key);

// The text of every string and number below a listed key, at any depth, a number as the file
// writes it. Absent when the text is not a strict JSON object (or nests deeper than any real
// configuration): then nobody can say what the secrets are.
[[nodiscard]] std::optional<std::vector<std::string>> secretValues(std::string_view configText);

// `text` with every stretch that spells one of `secrets` replaced by "<removed>": raw,
// JSON-escaped, percent-encoded or any mix of those. Overlapping stretches go as one, so a secret
// that begins or ends another leaves no tail of it behind.
[[nodiscard]] std::string withoutSecrets(std::string_view text,
                                         const std::vector<std::string>& secrets);

}  // namespace kestrova::Diagnostics
