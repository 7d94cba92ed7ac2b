// A loopback HTTP responder that keeps every request byte for byte (request line, header lines in
// the order sent, body), for tests that check exactly what a client put on the wire.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "http/closed_port.h"

struct RawRequest {
  std::string requestLine;           // "POST /path?x=1 HTTP/1.0"
  std::vector<std::string> headers;  // header lines without CR LF, in the order received
  std::string body;

  std::string Method() const;
  std::string Target() const;
  // Value of the first header with this name (case-insensitive), "" when absent.
  std::string Header(const std::string& name) const;
};

class RawServer {
 public:
  // The whole answer to put on the wire; an empty text closes the connection without a reply.
  using Handler = std::function<std::string(const RawRequest&)>;

  RawServer();
  ~RawServer();
  bool Start();  // 127.0.0.1 on a free port
  void Stop();
  void SetHandler(Handler handler);

  int Port() const { return port_; }
  std::string Url(const std::string& path) const;
  std::vector<RawRequest> Requests() const;
  size_t Count() const;
  bool WaitForCount(size_t count, std::chrono::milliseconds timeout) const;

  // "HTTP/1.1 <status> X" with Content-Length and Connection: close.
  static std::string Response(int status, const std::string& body,
                              const std::vector<std::string>& extraHeaders = {});

 private:
  void Serve();
  void HandleConnection(int fd);

  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  mutable std::mutex lock_;  // guards requests_ and handler_
  mutable std::condition_variable changed_;
  std::vector<RawRequest> requests_;
  Handler handler_;
};
