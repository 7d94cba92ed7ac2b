// delay_proxy run as a real process, and the loopback sockets the tests put around it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace delay_proxy_test {

// Starts the proxy with `args` and waits for its "listening on" line.
class ProxyProcess {
 public:
  explicit ProxyProcess(const std::vector<std::string>& args);
  ~ProxyProcess();
  bool Listening() const { return port_ != 0; }
  int Port() const { return port_; }
  // SIGTERM, then the exit status as waitpid gives it (-1 if it did not end in time).
  int Stop();

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

// Runs the proxy to completion; its exit code, or -1.
int RunToExit(const std::vector<std::string>& args);

// A listening socket on 127.0.0.1 whose first connection is handed to `serve` on a thread.
class OneShotServer {
 public:
  explicit OneShotServer(std::function<void(int fd)> serve);
  ~OneShotServer();
  int Port() const { return port_; }

 private:
  int listenFd_ = -1;
  int port_ = 0;
  std::thread thread_;
};

// A port on 127.0.0.1 that refuses connections for as long as this object lives.
class ClosedPort {
 public:
  ClosedPort();
  ~ClosedPort();
  int Port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// A blocking TCP connection to 127.0.0.1:port whose reads and writes give up after 20 s.
int ConnectLoopback(int port);
bool SendAll(int fd, const std::string& bytes);
// Reads until the end of stream; false on an error or time-out.
bool ReceiveAll(int fd, std::string& into);
std::string RandomBytes(std::size_t n, unsigned seed);

}  // namespace delay_proxy_test
