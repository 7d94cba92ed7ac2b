#include "testbed/conn_watch.h"

#include <poll.h>

#include <cerrno>
#include <thread>

namespace testbed {
namespace {

constexpr auto kPollStep = std::chrono::milliseconds(50);

}  // namespace

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
