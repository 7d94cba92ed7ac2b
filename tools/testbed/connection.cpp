#include "testbed/connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace testbed {
namespace {

thread_local Connection* tCurrent = nullptr;

void AddressOf(const sockaddr_storage& sa, std::string& ip, int& port) {
  char text[INET6_ADDRSTRLEN] = {};
  if (sa.ss_family == AF_INET) {
    auto* in = reinterpret_cast<const sockaddr_in*>(&sa);
    inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
    port = ntohs(in->sin_port);
  } else if (sa.ss_family == AF_INET6) {
    auto* in6 = reinterpret_cast<const sockaddr_in6*>(&sa);
    inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
    port = ntohs(in6->sin6_port);
  }
  ip = text;
}

}  // namespace

Connection::Connection(int fd, SSL* ssl, int readTimeoutMs, int writeTimeoutMs)
    : fd_(fd), ssl_(ssl), readTimeoutMs_(readTimeoutMs), writeTimeoutMs_(writeTimeoutMs) {}

Connection* Connection::Current() {
  return tCurrent;
}
void Connection::SetCurrent(Connection* connection) {
  tCurrent = connection;
}

bool Connection::HasBuffered() const {
  return bufferPos_ < bufferEnd_ || (ssl_ && SSL_pending(ssl_) > 0);
}

bool Connection::Poll(short events, int timeoutMs) const {
  pollfd p{fd_, events, 0};
  for (;;) {
    int n = poll(&p, 1, timeoutMs);
    if (n < 0 && errno == EINTR) continue;
    return n > 0;
  }
}

bool Connection::is_readable() const {
  return HasBuffered() || Poll(POLLIN, readTimeoutMs_);
}

bool Connection::is_writable() const {
  return Poll(POLLOUT, writeTimeoutMs_);
}

bool Connection::WaitForRequest(int timeoutMs, const std::atomic<bool>& stopping) {
  if (HasBuffered()) return true;
  constexpr int kStepMs = 50;
  for (int waited = 0; waited < timeoutMs && !stopping.load(); waited += kStepMs) {
    if (Poll(POLLIN, kStepMs)) return !stopping.load();
  }
  return false;
}

ssize_t Connection::ReadSome(char* ptr, size_t size) {
  if (ssl_ && SSL_pending(ssl_) > 0) {
    int n = SSL_read(ssl_, ptr, static_cast<int>(std::min<size_t>(size, 1 << 30)));
    return n > 0 ? n : -1;
  }
  if (!Poll(POLLIN, readTimeoutMs_)) return -1;
  if (ssl_) {
    int n = SSL_read(ssl_, ptr, static_cast<int>(std::min<size_t>(size, 1 << 30)));
    if (n > 0) return n;
    return SSL_get_error(ssl_, n) == SSL_ERROR_ZERO_RETURN ? 0 : -1;
  }
  for (;;) {
    ssize_t n = recv(fd_, ptr, size, 0);
    if (n < 0 && errno == EINTR) continue;
    return n;
  }
}

ssize_t Connection::read(char* ptr, size_t size) {
  ssize_t n = 0;
  if (bufferPos_ < bufferEnd_) {
    n = static_cast<ssize_t>(std::min(size, bufferEnd_ - bufferPos_));
    std::memcpy(ptr, buffer_ + bufferPos_, static_cast<size_t>(n));
    bufferPos_ += static_cast<size_t>(n);
  } else if (size >= sizeof buffer_) {
    n = ReadSome(ptr, size);
  } else {
    ssize_t got = ReadSome(buffer_, sizeof buffer_);
    if (got <= 0) return got;
    bufferPos_ = 0;
    bufferEnd_ = static_cast<size_t>(got);
    n = static_cast<ssize_t>(std::min(size, bufferEnd_));
    std::memcpy(ptr, buffer_, static_cast<size_t>(n));
    bufferPos_ = static_cast<size_t>(n);
  }
  if (n > 0 && capturing_) capture_.append(ptr, static_cast<size_t>(n));
  return n;
}

ssize_t Connection::write(const char* ptr, size_t size) {
  size_t done = 0;
  while (done < size) {
    if (!Poll(POLLOUT, writeTimeoutMs_)) return -1;
    ssize_t n;
    if (ssl_) {
      n = SSL_write(ssl_, ptr + done, static_cast<int>(std::min<size_t>(size - done, 1 << 30)));
      if (n <= 0) return -1;
    } else {
      n = send(fd_, ptr + done, size - done, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return -1;
    }
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(size);
}

void Connection::get_remote_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage sa{};
  socklen_t len = sizeof sa;
  if (getpeername(fd_, reinterpret_cast<sockaddr*>(&sa), &len) == 0) AddressOf(sa, ip, port);
}

void Connection::get_local_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage sa{};
  socklen_t len = sizeof sa;
  if (getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len) == 0) AddressOf(sa, ip, port);
}

void Connection::StartCapture() {
  capture_.clear();
  capturing_ = true;
}

std::string Connection::TakeCapture() {
  capturing_ = false;
  return std::move(capture_);
}

std::vector<std::pair<std::string, std::string>> ParseHeadLines(const std::string& head) {
  std::vector<std::pair<std::string, std::string>> out;
  size_t start = head.find('\n');  // past the request line
  while (start != std::string::npos && start + 1 < head.size()) {
    ++start;
    size_t end = head.find('\n', start);
    std::string line =
        head.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) break;
    size_t colon = line.find(':');
    if (colon != std::string::npos) {
      size_t v = line.find_first_not_of(" \t", colon + 1);
      std::string value = v == std::string::npos ? "" : line.substr(v);
      while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.pop_back();
      out.emplace_back(line.substr(0, colon), value);
    }
    start = end;
  }
  return out;
}

}  // namespace testbed
