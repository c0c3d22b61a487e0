// The hand-over socket between a later start and the running window,
// spoken over a real socket in a folder of the test's.
#include "platform/instance_handoff.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <algorithm>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace qm::platform {
namespace {

namespace fs = std::filesystem;

// Hands the parameters over on a thread of its own while the listener
// takes what has come; the sender waits for the listener's answer.
std::vector<std::vector<std::string>> handOverAndReceive(HandoffListener& listener, const std::string& path,
                                                         const std::vector<std::string>& parameters, bool& taken) {
  std::future<bool> sent = std::async(std::launch::async, [&] { return handOver(path, parameters); });
  std::vector<std::vector<std::string>> received;
  while (sent.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
    for (auto& message : listener.receive()) received.push_back(std::move(message));
  taken = sent.get();
  return received;
}

sockaddr_un addressOf(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::copy(path.begin(), path.end(), address.sun_path);
  return address;
}

TEST(InstanceHandoff, ParametersArriveWholeAndInOrder) {
  test::TempFolder folder;
  const std::string path = handoffSocketPath(folder.path().string(), "Quillmark 2.5");
  EXPECT_EQ(path, folder.str() + "Quillmark 2.5.socket");
  // A socket a crashed run left behind is replaced.
  {
    FileDescriptor stale(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_un address = addressOf(path);
    ASSERT_EQ(::bind(stale.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  }
  ASSERT_EQ(fs::symlink_status(path).type(), fs::file_type::socket);
  std::optional<HandoffListener> listener = HandoffListener::listen(path);
  ASSERT_TRUE(listener);
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_TRUE(listener->receive().empty());

  const std::vector<std::vector<std::string>> cases = {
      {},
      {"/in/a.psd"},
      {"/in/with blanks/b.psd", "/in/\xC3\xA9t\xC3\xA9/c.psd", "/in/folder/", ""},
      {std::string(100000, 'x')},
  };
  for (const auto& parameters : cases) {
    bool taken = false;
    const auto received = handOverAndReceive(*listener, path, parameters, taken);
    EXPECT_TRUE(taken);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0], parameters);
  }

  // A sender whose message does not end with its zero byte is not heard.
  {
    FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_un address = addressOf(path);
    ASSERT_EQ(::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::send(fd.get(), "/in/cut", 7, MSG_NOSIGNAL), 7);
    ::shutdown(fd.get(), SHUT_WR);
    EXPECT_TRUE(listener->receive().empty());
  }

  listener.reset();
  EXPECT_FALSE(fs::exists(fs::symlink_status(path))) << "the socket outlived its listener";
  EXPECT_FALSE(handOver(path, {"/in/a.psd"})) << "nobody listens";
}

TEST(InstanceHandoff, AnythingButASocketUnderTheNameIsLeftAlone) {
  test::TempFolder folder;
  const std::string path = folder.write("Quillmark 2.5.socket", "not a socket");
  EXPECT_FALSE(HandoffListener::listen(path));
  EXPECT_EQ(fs::file_size(path), 12u);
  EXPECT_FALSE(HandoffListener::listen(folder.str() + std::string(200, 'n')));
}

}  // namespace
}  // namespace qm::platform
