#include "relay.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace delay_proxy {
namespace {

// One read's worth; the window still caps what a read may take.
constexpr std::size_t kReadSize = 256 * 1024;
// Reads per readiness event, so that one busy connection cannot starve the others.
constexpr int kReadsPerEvent = 16;

char scratch[kReadSize];

void NoDelay(int fd) {
  // Small writes go out at once: Nagle's wait would add latency of its own to the emulated link.
  int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

std::optional<Clock::time_point> Earliest(std::optional<Clock::time_point> a,
                                          std::optional<Clock::time_point> b) {
  if (!a) return b;
  if (!b) return a;
  return std::min(*a, *b);
}

}  // namespace

Relay::Relay(int epollFd, uint64_t tag, int clientFd, const Options& options,
             Clock::time_point accepted)
    : epollFd_(epollFd),
      tag_(tag),
      options_(options),
      connectAt_(accepted + 2 * options.delay),
      queue_{DelayQueue(options.delay), DelayQueue(options.delay)} {
  fd_[kClient] = clientFd;
  NoDelay(clientFd);
  UpdateInterest(kClient, accepted);
}

Relay::~Relay() {
  for (int& fd : fd_) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
}

void Relay::OnReady(Side side, uint32_t events, Clock::time_point now) {
  if (failed_) return;
  if (side == kUpstream && upstream_ == Upstream::kConnecting) {
    FinishConnect();
  } else if (events & EPOLLERR) {
    Fail();
  } else {
    if ((events & (EPOLLIN | EPOLLHUP)) && !readEnd_[side]) Read(side, now);
    // A hang-up also retries a blocked write, whose error then closes the relay.
    if (events & (EPOLLOUT | EPOLLHUP)) blocked_[1 - side] = false;
  }
  Pump(now);
}

void Relay::Pump(Clock::time_point now) {
  if (failed_) return;
  if (upstream_ == Upstream::kWaiting && now >= connectAt_) StartConnect();
  for (Side from : {kClient, kUpstream}) {
    if (!failed_) Deliver(from, now);
  }
  if (failed_) return;
  UpdateInterest(kClient, now);
  UpdateInterest(kUpstream, now);
}

std::optional<Clock::time_point> Relay::NextWake(Clock::time_point now) {
  if (Done()) return std::nullopt;
  std::optional<Clock::time_point> wake;
  if (upstream_ == Upstream::kWaiting) wake = connectAt_;
  for (Side from : {kClient, kUpstream}) {
    bool canWrite = !blocked_[from] && (from == kUpstream || upstream_ == Upstream::kConnected);
    if (canWrite) wake = Earliest(wake, queue_[from].FrontDue());
    // Reading that waits for the window to reopen is registered again only by Pump. The window
    // may have reopened since Pump last looked (an acknowledgement fell due in between): then
    // Pump must run at once, or the relay would wait for a readiness that is not being watched.
    const bool readable = from == kClient || upstream_ == Upstream::kConnected;
    if (readable && !readEnd_[from] && !(interest_[from] & EPOLLIN)) {
      wake = Earliest(wake, WindowFull(from, now) ? queue_[from].NextAck() : now);
    }
  }
  return wake;
}

void Relay::StartConnect() {
  const Address& to = options_.upstream;
  int fd = socket(to.storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return Fail();
  fd_[kUpstream] = fd;
  NoDelay(fd);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&to.storage), to.length) == 0) {
    upstream_ = Upstream::kConnected;
  } else if (errno == EINPROGRESS) {
    upstream_ = Upstream::kConnecting;
  } else {
    Fail();
  }
}

void Relay::FinishConnect() {
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(fd_[kUpstream], SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
    return Fail();
  }
  upstream_ = Upstream::kConnected;
}

bool Relay::WindowFull(Side from, Clock::time_point now) {
  return !readEnd_[from] && queue_[from].InFlight(now) >= options_.window;
}

void Relay::Read(Side side, Clock::time_point now) {
  // Bytes from the client cannot leave before the emulated handshake is over.
  Clock::time_point departs = side == kClient ? std::max(now, connectAt_) : now;
  Clock::time_point due = departs + options_.delay;
  for (int i = 0; i < kReadsPerEvent; ++i) {
    std::size_t inFlight = queue_[side].InFlight(now);
    if (inFlight >= options_.window) return;
    std::size_t room = std::min(kReadSize, options_.window - inFlight);
    ssize_t n = recv(fd_[side], scratch, room, 0);
    if (n > 0) {
      queue_[side].Push(due, std::string_view(scratch, static_cast<std::size_t>(n)));
    } else if (n == 0) {
      readEnd_[side] = true;
      queue_[side].PushEnd(due);
      return;
    } else if (errno == EINTR) {
      continue;
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      return;
    } else {
      return Fail();
    }
  }
}

void Relay::Deliver(Side from, Clock::time_point now) {
  Side to = from == kClient ? kUpstream : kClient;
  if (to == kUpstream && upstream_ != Upstream::kConnected) return;
  if (blocked_[from]) return;
  DelayQueue& queue = queue_[from];
  // Ends when nothing is due or the socket is full; the queue never holds more than the window.
  for (std::string_view bytes = queue.DueBytes(now); !bytes.empty(); bytes = queue.DueBytes(now)) {
    ssize_t n = send(fd_[to], bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n >= 0) {
      queue.Consume(static_cast<std::size_t>(n), now);
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      blocked_[from] = true;
      return;
    } else if (errno != EINTR) {
      return Fail();
    }
  }
  if (queue.TakeEnd(now)) {
    shutdown(fd_[to], SHUT_WR);
    endSent_[from] = true;
  }
}

void Relay::UpdateInterest(Side side, Clock::time_point now) {
  if (fd_[side] < 0) return;
  uint32_t want = 0;
  bool readable = side == kClient || upstream_ == Upstream::kConnected;
  if (readable && !readEnd_[side] && !WindowFull(side, now)) want |= EPOLLIN;
  if (side == kUpstream && upstream_ == Upstream::kConnecting) want |= EPOLLOUT;
  if (blocked_[1 - side]) want |= EPOLLOUT;
  if (want == interest_[side]) return;
  epoll_event event{};
  event.events = want;
  event.data.u64 = tag_ + static_cast<uint64_t>(side);
  // A socket with nothing to wait for leaves the set: a hung-up socket would otherwise report
  // EPOLLHUP on every wait.
  int op = want == 0 ? EPOLL_CTL_DEL : interest_[side] == 0 ? EPOLL_CTL_ADD : EPOLL_CTL_MOD;
  if (epoll_ctl(epollFd_, op, fd_[side], &event) != 0) return Fail();
  interest_[side] = want;
}

void Relay::Fail() {
  failed_ = true;
  linger abort{1, 0};
  for (int& fd : fd_) {
    if (fd < 0) continue;
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    close(fd);
    fd = -1;
  }
}

}  // namespace delay_proxy
