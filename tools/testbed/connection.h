// One accepted connection (plain or TLS) as the HTTP library's stream, keeping a copy of the raw
// request head so that headers can be recorded in the order they came.
#pragma once

#include <httplib.h>
#include <openssl/ssl.h>

#include <atomic>
#include <string>

namespace testbed {

class Connection : public httplib::Stream {
 public:
  // Takes neither fd nor ssl: the listener closes and frees them.
  Connection(int fd, SSL* ssl, int readTimeoutMs, int writeTimeoutMs);

  bool is_readable() const override;
  bool is_writable() const override;
  ssize_t read(char* ptr, size_t size) override;
  ssize_t write(const char* ptr, size_t size) override;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  socket_t socket() const override { return fd_; }

  // Waits for the next request's first byte; false on time-out, close or stopping.
  bool WaitForRequest(int timeoutMs, const std::atomic<bool>& stopping);
  // Starts a fresh copy of what the library reads; it reads the head byte by byte, so when the
  // routing begins the copy holds exactly the request line and the header lines.
  void StartCapture();
  std::string TakeCapture();

  // The connection this thread is serving, or null.
  static Connection* Current();
  static void SetCurrent(Connection* connection);

 private:
  bool HasBuffered() const;
  ssize_t ReadSome(char* ptr, size_t size);
  bool Poll(short events, int timeoutMs) const;

  int fd_;
  SSL* ssl_;
  int readTimeoutMs_;
  int writeTimeoutMs_;
  char buffer_[4096];
  size_t bufferPos_ = 0;
  size_t bufferEnd_ = 0;
  bool capturing_ = false;
  std::string capture_;
};

// The header lines of a raw request head, in order; the request line is skipped.
std::vector<std::pair<std::string, std::string>> ParseHeadLines(const std::string& head);

}  // namespace testbed
