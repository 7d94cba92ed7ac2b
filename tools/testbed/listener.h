// One listening address: our own accept loop and connection threads around the HTTP library's
// request processing, so that the raw request head and each connection's socket are ours to see.
#pragma once

#include <httplib.h>
#include <openssl/ssl.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "testbed/task_queue.h"

namespace testbed {

class Listener : public httplib::Server {
 public:
  // ssl: the TLS context for HTTPS (shared, not owned), or null for plain HTTP.
  explicit Listener(SSL_CTX* ssl);
  ~Listener() override;

  // Binds and listens; port 0 picks a free one. Returns the bound port, or 0 on failure.
  int Bind(const std::string& address, int port);
  // Runs the accept loop on a thread of its own.
  void Run();
  // Stops accepting and cuts every open connection; answers still being made fail to send.
  void Cut();
  // Waits for every connection thread and closes the listening socket.
  void Join();
  void Shutdown() {
    Cut();
    Join();
  }

  const std::atomic<bool>& Stopping() const { return stopping_; }

 private:
  void AcceptLoop();
  void Serve(int fd);

  SSL_CTX* ssl_;
  int listenFd_ = -1;
  std::atomic<bool> stopping_{false};
  std::thread acceptThread_;
  ConnectionThreads threads_;
  std::mutex openLock_;  // guards open_; a socket is closed only after it left the set
  std::set<int> open_;
};

}  // namespace testbed
