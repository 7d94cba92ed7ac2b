// The event loop: accepts clients, runs their relays, and stops on SIGTERM or SIGINT.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "options.h"
#include "relay.h"

namespace delay_proxy {

class Proxy {
 public:
  explicit Proxy(const Options& options) : options_(options) {}
  ~Proxy();
  Proxy(const Proxy&) = delete;
  Proxy& operator=(const Proxy&) = delete;

  // Binds and listens (port 0 picks a free one); false with `error` set on failure.
  bool Start(std::string& error);
  // The bound address, "127.0.0.1:PORT" or "[::1]:PORT".
  std::string ListenAddress() const;
  // Serves until a stop signal; false when the loop itself fails.
  bool Run();

 private:
  void Accept(Clock::time_point now);
  void WatchListener(bool on);

  Options options_;
  int listenFd_ = -1;
  int epollFd_ = -1;
  int signalFd_ = -1;
  bool listenerWatched_ = false;
  uint64_t nextTag_ = 2;  // two tags per relay; 0 and 1 are the listener and the signals
  std::map<uint64_t, std::unique_ptr<Relay>> relays_;
};

}  // namespace delay_proxy
