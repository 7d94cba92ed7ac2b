#include "testbed/listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "testbed/connection.h"

namespace testbed {
namespace {

constexpr size_t kMaxConnectionThreads = 512;
constexpr int kKeepAliveMax = 100;
constexpr int kKeepAliveMs = 5000;
constexpr int kReadTimeoutMs = 5000;
constexpr int kWriteTimeoutMs = 10000;
constexpr int kAcceptStepMs = 50;

void SetTimeouts(int fd) {
  // Blocking TLS calls must not wait forever on a peer that went quiet mid-record.
  timeval rt{kReadTimeoutMs / 1000, 0}, wt{kWriteTimeoutMs / 1000, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &rt, sizeof rt);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wt, sizeof wt);
}

}  // namespace

Listener::Listener(SSL_CTX* ssl) : ssl_(ssl), threads_(kMaxConnectionThreads) {
  set_keep_alive_max_count(kKeepAliveMax);
  set_keep_alive_timeout(kKeepAliveMs / 1000);
}

Listener::~Listener() {
  Shutdown();
}

int Listener::Bind(const std::string& address, int port) {
  sockaddr_storage sa{};
  socklen_t len = 0;
  auto* in = reinterpret_cast<sockaddr_in*>(&sa);
  auto* in6 = reinterpret_cast<sockaddr_in6*>(&sa);
  if (inet_pton(AF_INET, address.c_str(), &in->sin_addr) == 1) {
    in->sin_family = AF_INET;
    in->sin_port = htons(static_cast<uint16_t>(port));
    len = sizeof *in;
  } else if (inet_pton(AF_INET6, address.c_str(), &in6->sin6_addr) == 1) {
    in6->sin6_family = AF_INET6;
    in6->sin6_port = htons(static_cast<uint16_t>(port));
    len = sizeof *in6;
  } else {
    return 0;
  }
  int fd = ::socket(sa.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  // SO_REUSEADDR only: SO_REUSEPORT would let a second server share a port that one serves.
  int yes = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  if (sa.ss_family == AF_INET6) setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &yes, sizeof yes);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), len) != 0 || ::listen(fd, SOMAXCONN) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
    close(fd);
    return 0;
  }
  listenFd_ = fd;
  // The library stops streaming bodies once this reads as invalid (see Shutdown).
  svr_sock_ = fd;
  return ntohs(sa.ss_family == AF_INET ? in->sin_port : in6->sin6_port);
}

void Listener::Run() {
  if (listenFd_ < 0 || acceptThread_.joinable()) return;
  acceptThread_ = std::thread([this] { AcceptLoop(); });
}

void Listener::AcceptLoop() {
  while (!stopping_.load()) {
    pollfd p{listenFd_, POLLIN, 0};
    int n = poll(&p, 1, kAcceptStepMs);
    if (n <= 0) continue;
    int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    {
      std::lock_guard<std::mutex> guard(openLock_);
      if (stopping_.load()) {
        close(fd);
        break;
      }
      open_.insert(fd);
    }
    threads_.enqueue([this, fd] { Serve(fd); });
  }
}

void Listener::Serve(int fd) {
  int yes = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  SetTimeouts(fd);
  SSL* ssl = nullptr;
  bool ok = true;
  if (ssl_) {
    ssl = SSL_new(ssl_);
    ok = ssl && SSL_set_fd(ssl, fd) == 1 && SSL_accept(ssl) == 1;
  }
  if (ok) {
    Connection conn(fd, ssl, kReadTimeoutMs, kWriteTimeoutMs);
    Connection::SetCurrent(&conn);
    for (int count = 0; count < kKeepAliveMax; ++count) {
      if (!conn.WaitForRequest(kKeepAliveMs, stopping_)) break;
      conn.StartCapture();
      bool closed = false;
      bool last = count + 1 == kKeepAliveMax || stopping_.load();
      bool served =
          process_request(conn, last, closed, [ssl](httplib::Request& req) { req.ssl = ssl; });
      if (!served || closed) break;
    }
    Connection::SetCurrent(nullptr);
    if (ssl) SSL_shutdown(ssl);
  }
  if (ssl) SSL_free(ssl);
  std::lock_guard<std::mutex> guard(openLock_);
  open_.erase(fd);
  close(fd);
}

void Listener::Cut() {
  stopping_ = true;
  svr_sock_ = INVALID_SOCKET;
  auto cutOpen = [this] {
    std::lock_guard<std::mutex> guard(openLock_);
    for (int fd : open_) ::shutdown(fd, SHUT_RDWR);
  };
  // Cut before joining: the accept loop may wait for a connection thread to end.
  cutOpen();
  if (acceptThread_.joinable()) acceptThread_.join();
  cutOpen();
}

void Listener::Join() {
  threads_.shutdown();
  if (listenFd_ >= 0) {
    close(listenFd_);
    listenFd_ = -1;
  }
}

}  // namespace testbed
