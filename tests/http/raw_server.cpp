#include "http/raw_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

namespace {

constexpr int kPollMs = 50;
constexpr auto kReadLimit = std::chrono::seconds(5);

int BindLoopback(int& port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    close(fd);
    return -1;
  }
  port = ntohs(addr.sin_port);
  return fd;
}

void WriteAll(int fd, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

// Request line and header lines of data[0, headerEnd).
void ParseHead(const std::string& data, size_t headerEnd, RawRequest& out) {
  size_t pos = data.find("\r\n");
  out.requestLine = data.substr(0, pos);
  while (pos < headerEnd) {
    size_t next = data.find("\r\n", pos + 2);
    out.headers.push_back(data.substr(pos + 2, next - pos - 2));
    pos = next;
  }
}

}  // namespace

std::string RawRequest::Method() const {
  return requestLine.substr(0, requestLine.find(' '));
}

std::string RawRequest::Target() const {
  size_t a = requestLine.find(' ');
  size_t b = requestLine.rfind(' ');
  return a == std::string::npos || b <= a ? "" : requestLine.substr(a + 1, b - a - 1);
}

std::string RawRequest::Header(const std::string& name) const {
  for (const std::string& line : headers) {
    size_t colon = line.find(':');
    if (colon == name.size() && strncasecmp(line.c_str(), name.c_str(), colon) == 0) {
      size_t v = line.find_first_not_of(' ', colon + 1);
      return v == std::string::npos ? "" : line.substr(v);
    }
  }
  return {};
}

RawServer::RawServer() = default;
RawServer::~RawServer() {
  Stop();
}

bool RawServer::Start() {
  listenFd_ = BindLoopback(port_);
  if (listenFd_ < 0 || listen(listenFd_, 16) != 0) return false;
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void RawServer::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listenFd_ >= 0) close(listenFd_);
  listenFd_ = -1;
}

void RawServer::SetHandler(Handler handler) {
  std::lock_guard<std::mutex> guard(lock_);
  handler_ = std::move(handler);
}

std::string RawServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<RawRequest> RawServer::Requests() const {
  std::lock_guard<std::mutex> guard(lock_);
  return requests_;
}

size_t RawServer::Count() const {
  std::lock_guard<std::mutex> guard(lock_);
  return requests_.size();
}

bool RawServer::WaitForCount(size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> guard(lock_);
  return changed_.wait_for(guard, timeout, [&] { return requests_.size() >= count; });
}

std::string RawServer::Response(int status, const std::string& body,
                                const std::vector<std::string>& extraHeaders) {
  std::string out = "HTTP/1.1 " + std::to_string(status) + " X\r\n";
  for (const std::string& h : extraHeaders) out += h + "\r\n";
  out += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
  return out + body;
}

void RawServer::Serve() {
  while (!stop_) {
    pollfd p{listenFd_, POLLIN, 0};
    if (poll(&p, 1, kPollMs) <= 0) continue;
    int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    HandleConnection(fd);
    close(fd);
  }
}

void RawServer::HandleConnection(int fd) {
  std::string data;
  size_t headerEnd = std::string::npos;
  size_t wanted = 0;
  auto deadline = std::chrono::steady_clock::now() + kReadLimit;
  while (!stop_ && std::chrono::steady_clock::now() < deadline) {
    if (headerEnd != std::string::npos && data.size() >= headerEnd + 4 + wanted) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, kPollMs) <= 0) continue;
    char buf[16384];
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    data.append(buf, static_cast<size_t>(n));
    if (headerEnd == std::string::npos &&
        (headerEnd = data.find("\r\n\r\n")) != std::string::npos) {
      RawRequest probe;
      ParseHead(data, headerEnd, probe);
      wanted = std::strtoull(probe.Header("Content-Length").c_str(), nullptr, 10);
    }
  }
  if (headerEnd == std::string::npos) return;

  RawRequest request;
  ParseHead(data, headerEnd, request);
  request.body = data.substr(headerEnd + 4);

  Handler handler;
  {
    std::lock_guard<std::mutex> guard(lock_);
    handler = handler_;
  }
  std::string answer = handler ? handler(request) : Response(200, "ok");
  {
    std::lock_guard<std::mutex> guard(lock_);
    requests_.push_back(request);
  }
  changed_.notify_all();
  if (!answer.empty()) WriteAll(fd, answer);
}
