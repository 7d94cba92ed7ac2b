#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "delay_proxy/proxy_process.h"

using namespace delay_proxy_test;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

std::vector<std::string> Args(int upstreamPort, int delayMs, std::size_t window = 0) {
  std::vector<std::string> args = {"--listen",   "127.0.0.1:0",
                                   "--upstream", "127.0.0.1:" + std::to_string(upstreamPort),
                                   "--delay-ms", std::to_string(delayMs)};
  if (window) args.insert(args.end(), {"--window", std::to_string(window)});
  return args;
}

void ExpectCleanStop(ProxyProcess& proxy) {
  int status = proxy.Stop();
  EXPECT_TRUE(status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// The time from `since` to the first byte that `fd` receives.
milliseconds FirstByteAfter(int fd, Clock::time_point since) {
  char c = 0;
  EXPECT_EQ(recv(fd, &c, 1, 0), 1);
  return std::chrono::duration_cast<milliseconds>(Clock::now() - since);
}

}  // namespace

// Both directions at once through a small window: the client's half-close reaches the server
// while the server still has bytes to send, and the server's close ends the client's stream.
TEST(DelayProxy, RelaysBothWaysAndPassesEachEnd) {
  constexpr int kDelayMs = 20;
  constexpr std::size_t kWindow = 128 * 1024;
  const std::string up = RandomBytes(2 << 20, 1), down = RandomBytes(2 << 20, 2);
  std::string serverGot;
  std::atomic<bool> serverSawEnd{false};
  OneShotServer server([&](int fd) {
    std::thread sender([&] { SendAll(fd, down.substr(0, down.size() / 2)); });
    serverSawEnd = ReceiveAll(fd, serverGot);
    sender.join();
    // Sent only after the client's end arrived: the half-closed client must still get it.
    SendAll(fd, down.substr(down.size() / 2));
  });
  ProxyProcess proxy(Args(server.Port(), kDelayMs, kWindow));
  ASSERT_TRUE(proxy.Listening());

  Clock::time_point start = Clock::now();
  int fd = ConnectLoopback(proxy.Port());
  ASSERT_GE(fd, 0);
  std::thread sender([&] {
    SendAll(fd, up);
    shutdown(fd, SHUT_WR);
  });
  std::string clientGot;
  EXPECT_TRUE(ReceiveAll(fd, clientGot));
  auto elapsed = Clock::now() - start;
  sender.join();
  close(fd);

  EXPECT_TRUE(serverSawEnd);
  EXPECT_EQ(serverGot.size(), up.size());
  EXPECT_TRUE(serverGot == up);
  EXPECT_EQ(clientGot.size(), down.size());
  EXPECT_TRUE(clientGot == down);
  // At most one window per round trip.
  EXPECT_GE(elapsed, milliseconds((down.size() / kWindow - 1) * 2 * kDelayMs));
  ExpectCleanStop(proxy);
}

// A long answer through a window that fills and reopens hundreds of times: reading must resume
// every time the acknowledgements return, also when they return between two turns of the loop.
TEST(DelayProxy, LongAnswerThroughASmallWindowNeverStalls) {
  const std::string down = RandomBytes(8 << 20, 3);
  OneShotServer server([&](int fd) { SendAll(fd, down); });
  ProxyProcess proxy(Args(server.Port(), 1, 32 * 1024));
  ASSERT_TRUE(proxy.Listening());
  int fd = ConnectLoopback(proxy.Port());
  ASSERT_GE(fd, 0);
  std::string clientGot;
  EXPECT_TRUE(ReceiveAll(fd, clientGot));
  close(fd);
  EXPECT_EQ(clientGot.size(), down.size());
  EXPECT_TRUE(clientGot == down);
  ExpectCleanStop(proxy);
}

// Like a real link: the connect's round trip, then the request's and the answer's ways.
TEST(DelayProxy, FirstAnswerComesTwoRoundTripsAfterConnect) {
  constexpr int kDelayMs = 40;
  OneShotServer server([](int fd) {
    char c = 0;
    for (int i = 0; i < 2 && recv(fd, &c, 1, 0) == 1; ++i) send(fd, &c, 1, MSG_NOSIGNAL);
  });
  ProxyProcess proxy(Args(server.Port(), kDelayMs));
  ASSERT_TRUE(proxy.Listening());

  Clock::time_point connecting = Clock::now();
  int fd = ConnectLoopback(proxy.Port());
  ASSERT_GE(fd, 0);
  ASSERT_EQ(send(fd, "a", 1, 0), 1);
  EXPECT_GE(FirstByteAfter(fd, connecting), milliseconds(4 * kDelayMs));
  Clock::time_point asked = Clock::now();
  ASSERT_EQ(send(fd, "b", 1, 0), 1);
  EXPECT_GE(FirstByteAfter(fd, asked), milliseconds(2 * kDelayMs));
  close(fd);
  ExpectCleanStop(proxy);
}

// A broken upstream must not look like a clean end of stream to the client (a cut download
// would pass for a whole one): the client is reset.
TEST(DelayProxy, UpstreamFailureResetsTheClient) {
  struct Case {
    const char* name;
    bool refuse;
  };
  for (const Case& c : {Case{"upstream refuses", true}, Case{"upstream resets", false}}) {
    SCOPED_TRACE(c.name);
    ClosedPort closed;
    OneShotServer server([](int fd) {
      char byte = 0;
      recv(fd, &byte, 1, 0);
      linger abort{1, 0};
      setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    });
    ProxyProcess proxy(Args(c.refuse ? closed.Port() : server.Port(), 1));
    ASSERT_TRUE(proxy.Listening());
    int fd = ConnectLoopback(proxy.Port());
    ASSERT_GE(fd, 0);
    send(fd, "x", 1, MSG_NOSIGNAL);
    char byte = 0;
    errno = 0;
    EXPECT_EQ(recv(fd, &byte, 1, 0), -1);
    EXPECT_EQ(errno, ECONNRESET);
    close(fd);
    ExpectCleanStop(proxy);
  }
}

TEST(DelayProxy, RejectsBadCommandLines) {
  const std::vector<std::vector<std::string>> bad = {
      {"--listen", "127.0.0.1:0", "--upstream", "127.0.0.1:80"},  // no delay
      {"--listen", "localhost:0", "--upstream", "127.0.0.1:80", "--delay-ms", "20"},
      {"--listen", "127.0.0.1:70000", "--upstream", "127.0.0.1:80", "--delay-ms", "20"},
      {"--listen", "127.0.0.1:0", "--upstream", "127.0.0.1", "--delay-ms", "20"},
      {"--listen", "127.0.0.1:0", "--upstream", "127.0.0.1:80", "--delay-ms", "-1"},
      {"--listen", "127.0.0.1:0", "--upstream", "127.0.0.1:80", "--delay-ms", "20", "--window",
       "0"},
      {"--listen", "127.0.0.1:0", "--upstream", "127.0.0.1:80", "--delay-ms", "20", "--rtt"},
  };
  for (const std::vector<std::string>& args : bad) {
    EXPECT_EQ(RunToExit(args), 2) << ::testing::PrintToString(args);
  }
}
