#include "platform/os/window_socket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/os/files.h"

namespace nuv::os {

std::string WindowSocketName(uint32_t handle) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%s%X", kWindowSocketPrefix, handle);
  return buffer;
}

namespace {

socklen_t AbstractAddress(const std::string& name, sockaddr_un* addr) {
  std::memset(addr, 0, sizeof *addr);
  addr->sun_family = AF_UNIX;
  size_t n = std::min(name.size(), sizeof addr->sun_path - 1);
  std::memcpy(addr->sun_path + 1, name.data(), n);
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
}

void SetTimeouts(int fd) {
  timeval tv{kWindowSocketTimeoutMs / 1000, (kWindowSocketTimeoutMs % 1000) * 1000};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

bool WriteAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = send(fd, p, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool ReadAll(int fd, void* data, size_t size) {
  char* p = static_cast<char*>(data);
  while (size > 0) {
    ssize_t n = recv(fd, p, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool WriteFrame(int fd, const WindowFrame& frame) {
  if (frame.payload.size() > kMaxWindowFramePayload) return false;
  WindowFrameHeader header;
  header.kind = static_cast<uint32_t>(frame.kind);
  header.message = frame.message;
  header.length = static_cast<uint32_t>(frame.payload.size());
  header.wParam = frame.wParam;
  return WriteAll(fd, &header, sizeof header) &&
         WriteAll(fd, frame.payload.data(), frame.payload.size());
}

bool ValidKind(uint32_t kind) {
  return kind >= static_cast<uint32_t>(WindowFrameKind::Post) &&
         kind <= static_cast<uint32_t>(WindowFrameKind::Identity);
}

// False at the end of the stream and for a frame that breaks the format.
bool ReadFrame(int fd, WindowFrame* frame) {
  WindowFrameHeader header;
  if (!ReadAll(fd, &header, sizeof header)) return false;
  if (header.magic != kWindowFrameMagic || !ValidKind(header.kind) ||
      header.length > kMaxWindowFramePayload) {
    return false;
  }
  frame->kind = static_cast<WindowFrameKind>(header.kind);
  frame->message = header.message;
  frame->wParam = header.wParam;
  frame->payload.assign(header.length, '\0');
  return ReadAll(fd, frame->payload.data(), header.length);
}

int Connect(uint32_t handle) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  SetTimeouts(fd);
  sockaddr_un addr;
  socklen_t len = AbstractAddress(WindowSocketName(handle), &addr);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Sends one frame; with answerKind set, waits for a frame of that kind and returns it.
std::optional<WindowFrame> Exchange(uint32_t handle, const WindowFrame& frame,
                                    std::optional<WindowFrameKind> answerKind) {
  int fd = Connect(handle);
  if (fd < 0) return std::nullopt;
  std::optional<WindowFrame> result;
  if (WriteFrame(fd, frame)) {
    if (!answerKind) {
      result = WindowFrame{};
    } else {
      shutdown(fd, SHUT_WR);
      WindowFrame answer;
      if (ReadFrame(fd, &answer) && answer.kind == *answerKind) result = std::move(answer);
    }
  }
  close(fd);
  return result;
}

bool PeerAllowed(int fd) {
  ucred cred{};
  socklen_t len = sizeof cred;
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0) return false;
  return cred.uid == 0 || cred.uid == geteuid();
}

}  // namespace

bool ReadWindowFrame(int fd, WindowFrame* frame) {
  return ReadFrame(fd, frame);
}

bool PostWindowMessage(uint32_t handle, uint32_t message, uint64_t wParam) {
  return Exchange(handle, {WindowFrameKind::Post, message, wParam, {}}, std::nullopt).has_value();
}

bool SendWindowData(uint32_t handle, uint32_t message, uint64_t wParam, std::string_view payload) {
  if (payload.size() > kMaxWindowFramePayload) return false;
  return Exchange(handle, {WindowFrameKind::Send, message, wParam, std::string(payload)},
                  WindowFrameKind::Ack)
      .has_value();
}

bool SendCopyData(uint32_t handle, uint64_t dwData, std::string_view data) {
  return SendWindowData(handle, kMsgCopyData, dwData, data);
}

bool ActivateWindow(uint32_t handle) {
  return Exchange(handle, {WindowFrameKind::Activate, 0, 0, {}}, std::nullopt).has_value();
}

std::optional<WindowIdentity> QueryWindow(uint32_t handle) {
  std::optional<WindowFrame> answer =
      Exchange(handle, {WindowFrameKind::Query, 0, 0, {}}, WindowFrameKind::Identity);
  if (!answer) return std::nullopt;
  size_t nul = answer->payload.find('\0');
  if (nul == std::string::npos) return std::nullopt;
  return WindowIdentity{answer->payload.substr(0, nul), answer->payload.substr(nul + 1)};
}

std::vector<uint32_t> ListWindowHandles() {
  std::vector<uint32_t> handles;
  std::optional<std::string> table = ReadFile("/proc/net/unix");
  if (!table) return handles;
  const std::string marker = std::string("@") + kWindowSocketPrefix;
  size_t pos = 0;
  while (pos < table->size()) {
    size_t end = table->find('\n', pos);
    if (end == std::string::npos) end = table->size();
    std::string line = table->substr(pos, end - pos);
    pos = end + 1;
    // "Num RefCount Protocol Flags Type St Inode Path": listening sockets carry __SO_ACCEPTCON.
    char flags[16] = {};
    if (std::sscanf(line.c_str(), "%*s %*s %*s %15s", flags) != 1) continue;
    unsigned long flagBits = std::strtoul(flags, nullptr, 16);
    if (!(flagBits & 0x10000UL)) continue;
    size_t at = line.rfind(' ');
    if (at == std::string::npos || line.compare(at + 1, marker.size(), marker) != 0) continue;
    std::string hex = line.substr(at + 1 + marker.size());
    if (hex.empty() || hex.size() > 8 ||
        hex.find_first_not_of("0123456789ABCDEF") != std::string::npos) {
      continue;
    }
    uint32_t handle = static_cast<uint32_t>(std::strtoul(hex.c_str(), nullptr, 16));
    if (std::find(handles.begin(), handles.end(), handle) == handles.end()) {
      handles.push_back(handle);
    }
  }
  return handles;
}

std::optional<uint32_t> FindWindow(std::string_view className, std::string_view title) {
  for (uint32_t handle : ListWindowHandles()) {
    std::optional<WindowIdentity> id = QueryWindow(handle);
    if (id && id->className == className && id->title == title) return handle;
  }
  return std::nullopt;
}

WindowSocketListener::WindowSocketListener(uint32_t handle, WindowIdentity identity,
                                           Handler handler)
    : handle_(handle), identity_(std::move(identity)), handler_(std::move(handler)) {}

WindowSocketListener::~WindowSocketListener() {
  Stop();
}

void WindowSocketListener::SetTitle(std::string title) {
  std::lock_guard<std::mutex> guard(identityLock_);
  identity_.title = std::move(title);
}

bool WindowSocketListener::Start() {
  if (thread_.joinable()) return false;
  listenFd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) return false;
  sockaddr_un addr;
  socklen_t len = AbstractAddress(WindowSocketName(handle_), &addr);
  if (bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), len) != 0 || listen(listenFd_, 64) != 0 ||
      pipe2(wakeFds_, O_CLOEXEC) != 0) {
    close(listenFd_);
    listenFd_ = -1;
    return false;
  }
  thread_ = std::thread([this] { Run(); });
  return true;
}

void WindowSocketListener::Stop() {
  if (!thread_.joinable()) return;
  char byte = 1;
  (void)!write(wakeFds_[1], &byte, 1);
  thread_.join();
  close(listenFd_);
  close(wakeFds_[0]);
  close(wakeFds_[1]);
  listenFd_ = wakeFds_[0] = wakeFds_[1] = -1;
}

void WindowSocketListener::Run() {
  for (;;) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents) return;
    if (!(fds[0].revents & POLLIN)) continue;
    int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    SetTimeouts(fd);
    if (PeerAllowed(fd)) Serve(fd);
    close(fd);
  }
}

void WindowSocketListener::Serve(int fd) {
  WindowFrame frame;
  // Bounded: each read waits at most the socket time-out, and a client gets a fixed frame budget.
  for (int count = 0; count < 1024 && ReadWindowFrame(fd, &frame); ++count) {
    switch (frame.kind) {
      case WindowFrameKind::Query: {
        WindowIdentity id;
        {
          std::lock_guard<std::mutex> guard(identityLock_);
          id = identity_;
        }
        WindowFrame answer{WindowFrameKind::Identity, 0, 0, id.className + '\0' + id.title};
        if (!WriteFrame(fd, answer)) return;
        break;
      }
      case WindowFrameKind::Post:
      case WindowFrameKind::Activate:
        if (handler_) handler_(frame);
        break;
      case WindowFrameKind::Send:
        if (handler_) handler_(frame);
        if (!WriteFrame(fd, {WindowFrameKind::Ack, frame.message, 0, {}})) return;
        break;
      default:
        return;  // answers are not requests
    }
  }
}

}  // namespace nuv::os
