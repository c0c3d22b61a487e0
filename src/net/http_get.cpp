// The update check's HTTP/1.0 request. Connecting, sending and receiving
// run on a non-blocking socket against one deadline, so a silent or
// unreachable server costs at most the time limit, and the answer is read
// into a fixed buffer that nothing ever writes or reads past.
#include "net/http_get.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <span>
#include <utility>

#include "platform/file_descriptor.h"
#include "platform/handle.h"
#include "platform/stream.h"
#include "platform/text.h"

namespace qm {

namespace {

using Clock = std::chrono::steady_clock;
using platform::millisecondsLeft;
using platform::waitFor;

using Socket = platform::FileDescriptor;

bool isHttpScheme(std::string_view scheme) { return equalsIgnoringCase(scheme, "http"); }

std::optional<Socket> connectTo(const UrlParts& parts, Clock::time_point deadline, const platform::StopFlag* stop) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(parts.port);
  if (getaddrinfo(parts.host.c_str(), port.c_str(), &hints, &found) != 0) return std::nullopt;
  const Handle<addrinfo, freeaddrinfo> owner(found);

  for (const addrinfo* address = found; address; address = address->ai_next) {
    if (stop && stop->raised()) return std::nullopt;
    Socket socket(
        ::socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address->ai_protocol));
    if (socket.get() < 0) continue;
    if (connect(socket.get(), address->ai_addr, address->ai_addrlen) == 0) return socket;
    if (errno != EINPROGRESS && errno != EINTR) continue;
    if (!waitFor(socket.get(), POLLOUT, deadline, stop)) {
      if (millisecondsLeft(deadline) == 0 || (stop && stop->raised())) return std::nullopt;
      continue;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0) return socket;
  }
  return std::nullopt;
}

}  // namespace

std::optional<UrlParts> splitUrl(std::string_view url) {
  // Blanks and control characters would end a request line early or add
  // header lines of their own.
  if (std::ranges::any_of(url, [](char c) { return static_cast<unsigned char>(c) <= 0x20 || c == 0x7f; }))
    return std::nullopt;
  if (const auto scheme = url.find("://");
      scheme != std::string_view::npos && url.substr(0, scheme).find('/') == std::string_view::npos) {
    if (!isHttpScheme(url.substr(0, scheme))) return std::nullopt;
    url.remove_prefix(scheme + 3);
  }
  const auto slash = url.find('/');
  const std::string_view site = url.substr(0, slash);
  const std::string_view rest = slash == std::string_view::npos ? std::string_view() : url.substr(slash + 1);

  UrlParts parts;
  const auto colon = site.rfind(':');
  parts.host = std::string(site.substr(0, colon));
  if (colon != std::string_view::npos && colon + 1 < site.size()) {
    const std::string_view digits = site.substr(colon + 1);
    int port = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (error != std::errc() || end != digits.data() + digits.size() || port < 1 || port > 65535) return std::nullopt;
    parts.port = port;
  }
  if (parts.host.empty()) return std::nullopt;
  parts.path = "/" + std::string(rest);
  return parts;
}

std::string composeHttpRequest(const UrlParts& parts, std::string_view userAgent) {
  std::string request;
  request += "GET " + parts.path + " HTTP/1.0\r\n";
  request += "Host: " + parts.host + "\r\n";
  request += "Accept: */*\r\n";
  request += "User-Agent: ";
  request += userAgent;
  request += "\r\n";
  request += "Connection: close\r\n\r\n";
  return request;
}

std::string readBodyStart(std::string_view answer) {
  answer = answer.substr(0, answer.find('\0'));
  constexpr std::string_view kEmptyLine = "\r\n\r\n";
  const auto headerEnd = answer.find(kEmptyLine);
  if (headerEnd == std::string_view::npos) return {};
  std::string_view body = answer.substr(headerEnd + kEmptyLine.size());
  body = body.substr(0, body.find(kEmptyLine));

  constexpr std::string_view kBlanks = " \t\r\n";
  return std::string(trim(body, kBlanks).substr(0, 3));
}

std::string httpGetText(std::string_view url, std::string_view userAgent, std::chrono::milliseconds timeLimit,
                        const platform::StopFlag* stop) {
  if (url.empty()) return {};
  const auto parts = splitUrl(url);
  if (!parts) return {};
  if (userAgent.empty()) userAgent = kDefaultUserAgent;
  if (userAgent.find_first_of("\r\n") != std::string_view::npos) return {};

  const auto deadline = Clock::now() + timeLimit;
  const auto socket = connectTo(*parts, deadline, stop);
  if (!socket) return {};
  if (!platform::sendAll(socket->get(), composeHttpRequest(*parts, userAgent), deadline, stop)) return {};

  std::array<char, kHttpReceiveBufferSize> buffer{};
  const std::size_t received = platform::receiveAll(socket->get(), buffer, deadline, stop);
  // A stopped wait may hold part of an answer; nobody is waiting for it.
  if (stop && stop->raised()) return {};
  return readBodyStart(std::string_view(buffer.data(), received));
}

}  // namespace qm
