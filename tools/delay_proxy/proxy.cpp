#include "proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace delay_proxy {
namespace {

constexpr uint64_t kListenerTag = 0;
constexpr uint64_t kSignalTag = 1;
constexpr int kAcceptsPerEvent = 64;
constexpr int kEventsPerWait = 64;

}  // namespace

Proxy::~Proxy() {
  relays_.clear();
  for (int fd : {listenFd_, epollFd_, signalFd_}) {
    if (fd >= 0) close(fd);
  }
}

bool Proxy::Start(std::string& error) {
  // The stop signals arrive as events of the loop, never in the middle of a relay's work.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGINT);
  if (sigprocmask(SIG_BLOCK, &stop, nullptr) != 0 ||
      (signalFd_ = signalfd(-1, &stop, SFD_NONBLOCK | SFD_CLOEXEC)) < 0) {
    error = std::string("signalfd: ") + std::strerror(errno);
    return false;
  }
  const Address& at = options_.listen;
  listenFd_ = socket(at.storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  int on = 1;
  if (listenFd_ < 0 || setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      bind(listenFd_, reinterpret_cast<const sockaddr*>(&at.storage), at.length) != 0 ||
      listen(listenFd_, 128) != 0) {
    error = std::string("listen: ") + std::strerror(errno);
    return false;
  }
  socklen_t length = sizeof options_.listen.storage;
  getsockname(listenFd_, reinterpret_cast<sockaddr*>(&options_.listen.storage), &length);
  options_.listen.length = length;

  epollFd_ = epoll_create1(EPOLL_CLOEXEC);
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.u64 = kSignalTag;
  if (epollFd_ < 0 || epoll_ctl(epollFd_, EPOLL_CTL_ADD, signalFd_, &event) != 0) {
    error = std::string("epoll: ") + std::strerror(errno);
    return false;
  }
  WatchListener(true);
  if (!listenerWatched_) {
    error = std::string("epoll: ") + std::strerror(errno);
    return false;
  }
  return true;
}

std::string Proxy::ListenAddress() const {
  char host[INET6_ADDRSTRLEN] = "";
  const sockaddr_storage& s = options_.listen.storage;
  if (s.ss_family == AF_INET6) {
    const auto& in6 = reinterpret_cast<const sockaddr_in6&>(s);
    inet_ntop(AF_INET6, &in6.sin6_addr, host, sizeof host);
    return "[" + std::string(host) + "]:" + std::to_string(ntohs(in6.sin6_port));
  }
  const auto& in4 = reinterpret_cast<const sockaddr_in&>(s);
  inet_ntop(AF_INET, &in4.sin_addr, host, sizeof host);
  return std::string(host) + ":" + std::to_string(ntohs(in4.sin_port));
}

bool Proxy::Run() {
  epoll_event events[kEventsPerWait];
  for (;;) {
    Clock::time_point now = Clock::now();
    std::optional<Clock::time_point> wake;
    for (auto& [tag, relay] : relays_) {
      std::optional<Clock::time_point> next = relay->NextWake(now);
      if (next && (!wake || *next < *wake)) wake = next;
    }
    int timeoutMs = -1;
    if (wake) {
      // Rounded up: a chunk may leave a little late, never early.
      auto wait = std::chrono::ceil<std::chrono::milliseconds>(*wake - now).count();
      timeoutMs = wait < 0 ? 0 : static_cast<int>(wait);
    }
    int n = epoll_wait(epollFd_, events, kEventsPerWait, timeoutMs);
    if (n < 0 && errno != EINTR) return false;
    now = Clock::now();
    for (int i = 0; i < n; ++i) {
      uint64_t tag = events[i].data.u64;
      if (tag == kSignalTag) return true;
      if (tag == kListenerTag) {
        Accept(now);
        continue;
      }
      // The relay may have been closed by an earlier event of this same wait.
      auto found = relays_.find(tag & ~uint64_t{1});
      if (found == relays_.end()) continue;
      found->second->OnReady(static_cast<Relay::Side>(tag & 1), events[i].events, now);
    }
    for (auto it = relays_.begin(); it != relays_.end();) {
      it->second->Pump(now);
      if (it->second->Done()) {
        it = relays_.erase(it);
        WatchListener(true);
      } else {
        ++it;
      }
    }
  }
}

void Proxy::Accept(Clock::time_point now) {
  for (int i = 0; i < kAcceptsPerEvent; ++i) {
    int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
      uint64_t tag = nextTag_;
      nextTag_ += 2;
      relays_.emplace(tag, std::make_unique<Relay>(epollFd_, tag, fd, options_, now));
      continue;
    }
    if (errno == EINTR || errno == ECONNABORTED) continue;
    // Out of descriptors: the listener would stay readable, so it waits until a relay closes.
    if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
      WatchListener(false);
    }
    return;
  }
}

void Proxy::WatchListener(bool on) {
  if (on == listenerWatched_) return;
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.u64 = kListenerTag;
  if (epoll_ctl(epollFd_, on ? EPOLL_CTL_ADD : EPOLL_CTL_DEL, listenFd_, &event) == 0) {
    listenerWatched_ = on;
  }
}

}  // namespace delay_proxy
