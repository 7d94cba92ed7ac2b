// One client connection and its upstream connection, with a delay queue per direction.
#pragma once

#include <cstdint>
#include <optional>

#include "delay_queue.h"
#include "options.h"

namespace delay_proxy {

class Relay {
 public:
  enum Side { kClient = 0, kUpstream = 1 };

  // Takes ownership of the accepted `clientFd` and registers it with `epollFd`; each socket's
  // epoll data is `tag + side`.
  Relay(int epollFd, uint64_t tag, int clientFd, const Options& options,
        Clock::time_point accepted);
  ~Relay();
  Relay(const Relay&) = delete;
  Relay& operator=(const Relay&) = delete;

  void OnReady(Side side, uint32_t events, Clock::time_point now);
  // Time-driven work: the upstream connect, due bytes and ends, reopened windows.
  void Pump(Clock::time_point now);
  // When Pump has work again; empty while only socket readiness can move this relay.
  std::optional<Clock::time_point> NextWake(Clock::time_point now);
  // Both ends were delivered both ways, or a reset or error closed both sockets.
  bool Done() const { return failed_ || (endSent_[0] && endSent_[1]); }

 private:
  enum class Upstream { kWaiting, kConnecting, kConnected };

  void StartConnect();
  void FinishConnect();
  void Read(Side side, Clock::time_point now);
  void Deliver(Side from, Clock::time_point now);
  void UpdateInterest(Side side, Clock::time_point now);
  bool WindowFull(Side from, Clock::time_point now);
  // Resets both connections, as a broken link would.
  void Fail();

  int epollFd_;
  uint64_t tag_;
  const Options& options_;
  int fd_[2] = {-1, -1};
  uint32_t interest_[2] = {0, 0};  // the mask registered with epoll; 0 = not registered
  Upstream upstream_ = Upstream::kWaiting;
  // The handshake's round trip: the upstream connect is made, and the client's first bytes leave,
  // only once the client's SYN and our SYN-ACK would have crossed the link.
  Clock::time_point connectAt_;
  // Indexed by the side the bytes come from.
  DelayQueue queue_[2];
  bool readEnd_[2] = {false, false};  // that side's stream has ended
  bool endSent_[2] = {false, false};  // ... and the end was passed on to the other side
  bool blocked_[2] = {false, false};  // the other side's socket is full; wait for EPOLLOUT
  bool failed_ = false;
};

}  // namespace delay_proxy
