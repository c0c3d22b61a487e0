// The one HTTP request the program makes: a hand-written HTTP/1.0 GET over a
// plain TCP connection that returns the first three characters of the
// answer's body. Everything fails quietly to an empty text; the caller
// decides what an empty answer means.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/stream.h"

namespace qm {

// Connecting, sending and waiting for the answer share this limit.
inline constexpr std::chrono::milliseconds kHttpTimeLimit{10000};
// The answer is read into a buffer of this size and never beyond it.
inline constexpr std::size_t kHttpReceiveBufferSize = 2048;
inline constexpr std::string_view kDefaultUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; en)";

struct UrlParts {
  std::string host;
  int port = 80;
  std::string path;  // always starts with "/"
};

// "http://host:port/path" (scheme optional, only http spoken). Empty when
// the url has no host, an unreadable port, another scheme, or control
// characters that would break the request lines.
std::optional<UrlParts> splitUrl(std::string_view url);

// The request bytes exactly as they go out on the wire.
std::string composeHttpRequest(const UrlParts& parts, std::string_view userAgent);

// The text between the first empty line and the next one, trimmed, cut to
// its first three characters. Reading stops at the first zero byte.
std::string readBodyStart(std::string_view answer);

// Fetches `url` and returns readBodyStart of the answer; empty on any
// failure (no host, refused, nothing within `timeLimit`) and once `stop` is
// raised, which ends every wait for the server at once (the name lookup
// alone is not interrupted). An empty user agent is replaced by
// kDefaultUserAgent.
std::string httpGetText(std::string_view url, std::string_view userAgent,
                        std::chrono::milliseconds timeLimit = kHttpTimeLimit, const platform::StopFlag* stop = nullptr);

}  // namespace qm
