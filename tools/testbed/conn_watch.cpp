#include "testbed/conn_watch.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace testbed {
namespace {

constexpr auto kPollStep = std::chrono::milliseconds(50);

bool SameEnd(const sockaddr_storage& sa, const std::string& address, int port) {
  char text[INET6_ADDRSTRLEN] = {};
  int p = 0;
  if (sa.ss_family == AF_INET) {
    auto* in = reinterpret_cast<const sockaddr_in*>(&sa);
    inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
    p = ntohs(in->sin_port);
  } else if (sa.ss_family == AF_INET6) {
    auto* in6 = reinterpret_cast<const sockaddr_in6*>(&sa);
    inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
    p = ntohs(in6->sin6_port);
  } else {
    return false;
  }
  return p == port && address == text;
}

}  // namespace

int FindConnectionSocket(const std::string& localAddress, int localPort,
                         const std::string& remoteAddress, int remotePort) {
  rlimit lim{};
  int maxFd = 4096;
  if (getrlimit(RLIMIT_NOFILE, &lim) == 0 && lim.rlim_cur < static_cast<rlim_t>(maxFd)) {
    maxFd = static_cast<int>(lim.rlim_cur);
  }
  for (int fd = 0; fd < maxFd; ++fd) {
    sockaddr_storage local{}, remote{};
    socklen_t localLen = sizeof local, remoteLen = sizeof remote;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLen) != 0) continue;
    if (!SameEnd(local, localAddress, localPort)) continue;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&remote), &remoteLen) != 0) continue;
    if (SameEnd(remote, remoteAddress, remotePort)) return fd;
  }
  return -1;
}

void HoldUntilPeerLeaves(int fd, const std::atomic<bool>& stopping,
                         std::chrono::steady_clock::time_point deadline) {
  while (!stopping.load() && std::chrono::steady_clock::now() < deadline) {
    if (fd < 0) {
      std::this_thread::sleep_for(kPollStep);
      continue;
    }
    pollfd p{fd, POLLRDHUP, 0};
    int n = poll(&p, 1, static_cast<int>(kPollStep.count()));
    if (n < 0 && errno != EINTR) return;
    if (n > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL))) return;
    // Unread data from the peer keeps the socket readable; wait a step instead of spinning.
    if (n > 0) std::this_thread::sleep_for(kPollStep);
  }
}

bool PausePolitely(std::chrono::microseconds duration, const std::atomic<bool>& stopping) {
  auto end = std::chrono::steady_clock::now() + duration;
  while (!stopping.load()) {
    auto left = end - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) return true;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(left, kPollStep));
  }
  return false;
}

}  // namespace testbed
