#include "proxy_process.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

extern char** environ;

namespace delay_proxy_test {
namespace {

constexpr int kDeadlineMs = 20'000;

pid_t Spawn(const std::vector<std::string>& args, int stdoutFd, int stderrFd = -1) {
  std::vector<std::string> all = {DELAY_PROXY_PATH};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
  if (stderrFd >= 0) posix_spawn_file_actions_adddup2(&actions, stderrFd, STDERR_FILENO);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// The exit status of `pid` once it ends, or -1 after the deadline (the process is then killed).
int WaitForExit(pid_t pid) {
  int pidFd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  bool ended = false;
  if (pidFd >= 0) {
    pollfd p{pidFd, POLLIN, 0};
    ended = poll(&p, 1, kDeadlineMs) == 1;
    close(pidFd);
  }
  if (!ended) kill(pid, SIGKILL);
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return ended ? status : -1;
}

int LocalPort(int fd) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.sin_port);
}

int BoundLoopbackSocket() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  return fd;
}

void SetTimeouts(int fd) {
  timeval limit{kDeadlineMs / 1000, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

}  // namespace

ProxyProcess::ProxyProcess(const std::vector<std::string>& args) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return;
  pid_ = Spawn(args, out[1]);
  close(out[1]);
  std::string line;
  char c = 0;
  pollfd p{out[0], POLLIN, 0};
  while (pid_ > 0 && line.size() < 200 && poll(&p, 1, kDeadlineMs) == 1 &&
         read(out[0], &c, 1) == 1) {
    if (c == '\n') {
      std::sscanf(line.c_str(), "listening on 127.0.0.1:%d", &port_);
      break;
    }
    line += c;
  }
  close(out[0]);
}

ProxyProcess::~ProxyProcess() {
  if (pid_ > 0) Stop();
}

int ProxyProcess::Stop() {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  int status = WaitForExit(pid_);
  pid_ = -1;
  return status;
}

int RunToExit(const std::vector<std::string>& args) {
  int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
  pid_t pid = Spawn(args, devNull, devNull);
  close(devNull);
  if (pid <= 0) return -1;
  int status = WaitForExit(pid);
  return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

OneShotServer::OneShotServer(std::function<void(int fd)> serve) {
  listenFd_ = BoundLoopbackSocket();
  listen(listenFd_, 4);
  port_ = LocalPort(listenFd_);
  SetTimeouts(listenFd_);  // bounds the accept too
  thread_ = std::thread([this, serve = std::move(serve)] {
    int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    SetTimeouts(fd);
    serve(fd);
    close(fd);
  });
}

OneShotServer::~OneShotServer() {
  shutdown(listenFd_, SHUT_RDWR);  // wakes an accept that never got its client
  thread_.join();
  close(listenFd_);
}

ClosedPort::ClosedPort() : fd_(BoundLoopbackSocket()), port_(LocalPort(fd_)) {}

ClosedPort::~ClosedPort() {
  close(fd_);
}

int ConnectLoopback(int port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  SetTimeouts(fd);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool SendAll(int fd, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

bool ReceiveAll(int fd, std::string& into) {
  char buffer[65536];
  for (;;) {
    ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n == 0) return true;
    if (n < 0) return false;
    into.append(buffer, static_cast<std::size_t>(n));
  }
}

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937_64 random(seed);
  std::string bytes(n, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

}  // namespace delay_proxy_test
