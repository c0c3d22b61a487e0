#include "net/http_get.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "loopback_http_server.h"

namespace qm {
namespace {

using namespace std::chrono_literals;
using test::LoopbackHttpServer;
using test::ServerScript;

constexpr std::string_view kHeader = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";

TEST(HttpGet, SplitsUrls) {
  struct Case {
    std::string_view url;
    bool valid;
    std::string host;
    int port;
    std::string path;
  };
  const Case cases[] = {
      {"http://www.ferroval.example/files/quillmark.dat", true, "www.ferroval.example", 80, "/files/quillmark.dat"},
      {"HTTP://h:8080/a/b?c=1", true, "h", 8080, "/a/b?c=1"},
      {"127.0.0.1:8080", true, "127.0.0.1", 8080, "/"},
      {"http://h:/x", true, "h", 80, "/x"},
      {"http://h//x", true, "h", 80, "//x"},
      {"https://h/", false, "", 0, ""},
      {"http://h:0/", false, "", 0, ""},
      {"http://h:65536/", false, "", 0, ""},
      {"http://h:8o/", false, "", 0, ""},
      {"http://h:-1/", false, "", 0, ""},
      {"http:///x", false, "", 0, ""},
      {"", false, "", 0, ""},
      {"http://h/a b", false, "", 0, ""},
      {"http://h/x\r\nEvil: 1", false, "", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    const auto parts = splitUrl(c.url);
    ASSERT_EQ(parts.has_value(), c.valid);
    if (!parts) continue;
    EXPECT_EQ(parts->host, c.host);
    EXPECT_EQ(parts->port, c.port);
    EXPECT_EQ(parts->path, c.path);
  }
}

TEST(HttpGet, SendsTheRequestByteForByteWithTheBareHostName) {
  struct Case {
    std::string url;  // after the port
    std::string userAgent;
    std::string expectedHost;
    std::string expectedPath;
    std::string expectedAgent;
  };
  const Case cases[] = {
      {"/files/quillmark.dat", "Quillmark 2.5", "127.0.0.1", "/files/quillmark.dat", "Quillmark 2.5"},
      {"", "", "127.0.0.1", "/", std::string(kDefaultUserAgent)},
  };
  for (const Case& c : cases) {
    LoopbackHttpServer server(LoopbackHttpServer::answering("251"));
    EXPECT_EQ(httpGetText(server.url(c.url), c.userAgent), "251");
    EXPECT_EQ(server.request(), "GET " + c.expectedPath + " HTTP/1.0\r\nHost: " + c.expectedHost +
                                    "\r\nAccept: */*\r\nUser-Agent: " + c.expectedAgent +
                                    "\r\nConnection: close\r\n\r\n");
  }

  // A host name rather than an address: the name alone goes in the Host line.
  LoopbackHttpServer server(LoopbackHttpServer::answering("250"));
  const std::string url = "http://localhost:" + std::to_string(server.port()) + "/files/quillmark.dat";
  EXPECT_EQ(httpGetText(url, "Quillmark 2.5"), "250");
  EXPECT_EQ(server.request(),
            "GET /files/quillmark.dat HTTP/1.0\r\nHost: localhost\r\nAccept: */*\r\n"
            "User-Agent: Quillmark 2.5\r\nConnection: close\r\n\r\n");
}

TEST(HttpGet, ReadsTheFirstThreeCharactersOfTheBody) {
  struct Case {
    const char* name;
    ServerScript script;
    std::string expected;
  };
  const std::string header(kHeader);
  const Case cases[] = {
      {"plain", LoopbackHttpServer::answering("251"), "251"},
      {"leading blanks", LoopbackHttpServer::answering("   251"), "251"},
      {"line break after", LoopbackHttpServer::answering("251\r\n"), "251"},
      {"leading line break", LoopbackHttpServer::answering("\r\n 249\n"), "249"},
      {"four digits", LoopbackHttpServer::answering("2510"), "251"},
      {"ends at the next empty line", LoopbackHttpServer::answering("25\r\n\r\n1"), "25"},
      {"ends at a zero byte", LoopbackHttpServer::answering(std::string{'2', '\0', '5', '1'}), "2"},
      {"error status is not examined", {{"HTTP/1.0 404 Not Found\r\n\r\n250"}, true}, "250"},
      {"no empty line", {{"HTTP/1.0 200 OK\r\n251"}, true}, ""},
      {"empty body", LoopbackHttpServer::answering(""), ""},
      {"in pieces", {{"HTTP/1.0 200 OK\r\n", "\r\n  2", "51"}, true}, "251"},
      {"answer left open", {{header + "251"}, false}, "251"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackHttpServer server(c.script);
    EXPECT_EQ(httpGetText(server.url("/files/quillmark.dat"), "Quillmark 2.5", 1s), c.expected);
  }
}

TEST(HttpGet, NeverReadsPastItsBuffer) {
  const std::string header(kHeader);
  // Pads the header so that the answer is `size` bytes long and ends in `tail`.
  auto answerOfSize = [&](std::size_t size, const std::string& tail) {
    const std::string start = "HTTP/1.0 200 OK\r\nX-Pad: ";
    const std::string end = "\r\n\r\n" + tail;
    return start + std::string(size - start.size() - end.size(), 'p') + end;
  };
  struct Case {
    const char* name;
    std::string answer;
    std::string expected;
  };
  const Case cases[] = {
      {"exactly the buffer", answerOfSize(kHttpReceiveBufferSize, "251"), "251"},
      {"last digit one past it", answerOfSize(kHttpReceiveBufferSize + 1, "251"), "25"},
      {"body beyond it", answerOfSize(3 * kHttpReceiveBufferSize, "251"), ""},
      {"long body after the number", header + "251" + std::string(100000, 'x'), "251"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackHttpServer server({{c.answer}, true});
    EXPECT_EQ(httpGetText(server.url("/files/quillmark.dat"), "Quillmark 2.5", 5s), c.expected);
  }
}

TEST(HttpGet, GivesUpAtItsTimeLimit) {
  EXPECT_EQ(kHttpTimeLimit, 10s);

  LoopbackHttpServer server(LoopbackHttpServer::silent());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(httpGetText(server.url("/files/quillmark.dat"), "Quillmark 2.5", 300ms), "");
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, 300ms);
  // The server holds the line for 5 s: a client that missed its limit
  // would have waited that long.
  EXPECT_LT(elapsed, 4s);
  // It did ask before it gave up.
  EXPECT_EQ(server.request().substr(0, 29), "GET /files/quillmark.dat HTTP");
}

// A stop raised on another thread ends the wait for a silent server; with
// an hour's time limit nothing else would. The server saw the request, so
// the stop came while the answer was awaited.
TEST(HttpGet, ARaisedStopEndsTheWaitForTheAnswer) {
  LoopbackHttpServer server(LoopbackHttpServer::silent());
  platform::StopFlag stop;
  EXPECT_FALSE(stop.raised());
  std::thread stopper([&stop] {
    std::this_thread::sleep_for(300ms);
    stop.raise();
  });
  EXPECT_EQ(httpGetText(server.url("/files/quillmark.dat"), "Quillmark 2.5", 1h, &stop), "");
  stopper.join();
  EXPECT_TRUE(stop.raised());
  EXPECT_EQ(server.request().substr(0, 29), "GET /files/quillmark.dat HTTP");
}

TEST(HttpGet, RefusedConnectionGivesNothingAtOnce) {
  test::RefusingPort refusing;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(httpGetText("http://127.0.0.1:" + std::to_string(refusing.port) + "/files/quillmark.dat", "Quillmark 2.5"),
            "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

}  // namespace
}  // namespace qm
