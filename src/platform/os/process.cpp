#include "platform/os/process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

extern char** environ;

namespace nuv::os {

namespace {

struct CStrings {
  std::vector<std::string> owned;
  std::vector<char*> pointers;
  explicit CStrings(std::vector<std::string> strings) : owned(std::move(strings)) {
    for (std::string& s : owned) pointers.push_back(s.data());
    pointers.push_back(nullptr);
  }
};

bool HasPrefix(const char* text, const char* prefix) {
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

std::vector<std::string> EnvironmentFor(const std::optional<DesktopUser>& user) {
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) {
    if (user && (HasPrefix(*e, "HOME=") || HasPrefix(*e, "USER=") || HasPrefix(*e, "LOGNAME=") ||
                 HasPrefix(*e, "SUDO_") || HasPrefix(*e, "XDG_RUNTIME_DIR="))) {
      continue;
    }
    env.emplace_back(*e);
  }
  if (user) {
    env.push_back("HOME=" + user->home);
    env.push_back("USER=" + user->name);
    env.push_back("LOGNAME=" + user->name);
    std::string runtime = "/run/user/" + std::to_string(user->uid);
    if (access(runtime.c_str(), F_OK) == 0) env.push_back("XDG_RUNTIME_DIR=" + runtime);
  }
  return env;
}

// The program file to exec: argv[0] itself, or its first executable match on PATH.
std::string ResolveProgram(const std::string& program, bool searchPath) {
  if (!searchPath || program.find('/') != std::string::npos) return program;
  std::string path = GetEnvOr("PATH", "/usr/local/bin:/usr/bin:/bin");
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t end = path.find(':', pos);
    if (end == std::string::npos) end = path.size();
    std::string dir = path.substr(pos, end - pos);
    if (dir.empty()) dir = ".";
    std::string candidate = dir + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    pos = end + 1;
  }
  return {};
}

SpawnResult SpawnPlain(const std::string& file, CStrings& args, CStrings& env,
                       const SpawnOptions& options) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attr);
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  if (options.ownProcessGroup) {
    flags |= POSIX_SPAWN_SETPGROUP;
    posix_spawnattr_setpgroup(&attr, 0);
  }
  posix_spawnattr_setflags(&attr, flags);
  if (options.nullStdio) {
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  }
  if (!options.workingFolder.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, options.workingFolder.c_str());
  }
  pid_t pid = -1;
  int rc =
      posix_spawn(&pid, file.c_str(), &actions, &attr, args.pointers.data(), env.pointers.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) return {-1, rc};
  return {pid, 0};
}

// Only async-signal-safe calls between fork and exec: everything is prepared beforehand.
[[noreturn]] void ExecChild(const std::string& file, CStrings& args, CStrings& env,
                            const SpawnOptions& options, const std::vector<gid_t>& groups,
                            int errorPipe) {
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  for (int sig = 1; sig < NSIG; ++sig) signal(sig, SIG_DFL);
  int err = 0;
  // A detached child already leads its own session (and so its own group).
  if (options.ownProcessGroup && !options.detach && setpgid(0, 0) != 0) err = errno;
  if (!err && options.nullStdio) {
    int in = open("/dev/null", O_RDONLY);
    int out = open("/dev/null", O_WRONLY);
    if (in < 0 || out < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(out, 2) < 0) err = errno;
  }
  if (!err && options.asUser) {
    if (setgroups(groups.size(), groups.data()) != 0 || setgid(options.asUser->gid) != 0 ||
        setuid(options.asUser->uid) != 0) {
      err = errno;
    }
  }
  if (!err && !options.workingFolder.empty() && chdir(options.workingFolder.c_str()) != 0) {
    err = errno;
  }
  if (!err) {
    execve(file.c_str(), args.pointers.data(), env.pointers.data());
    err = errno;
  }
  (void)!write(errorPipe, &err, sizeof err);
  _exit(127);
}

SpawnResult SpawnForked(const std::string& file, CStrings& args, CStrings& env,
                        const SpawnOptions& options) {
  std::vector<gid_t> groups;
  if (options.asUser) {
    int count = 64;
    groups.resize(count);
    if (getgrouplist(options.asUser->name.c_str(), options.asUser->gid, groups.data(), &count) <
        0) {
      groups.resize(count);
      if (getgrouplist(options.asUser->name.c_str(), options.asUser->gid, groups.data(), &count) <
          0) {
        count = 1;
        groups[0] = options.asUser->gid;
      }
    }
    groups.resize(count);
  }
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return {-1, errno};
  pid_t pid = fork();
  if (pid < 0) {
    int err = errno;
    close(fds[0]);
    close(fds[1]);
    return {-1, err};
  }
  if (pid == 0) {
    close(fds[0]);
    if (options.detach) {
      setsid();
      pid_t grandchild = fork();
      if (grandchild < 0) {
        int err = errno;
        (void)!write(fds[1], &err, sizeof err);
        _exit(127);
      }
      if (grandchild > 0) _exit(0);
    }
    ExecChild(file, args, env, options, groups, fds[1]);
  }
  close(fds[1]);
  int childError = 0;
  ssize_t n;
  do {
    n = read(fds[0], &childError, sizeof childError);
  } while (n < 0 && errno == EINTR);
  close(fds[0]);
  if (options.detach) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  if (n == static_cast<ssize_t>(sizeof childError) && childError != 0) {
    if (!options.detach) {
      int status = 0;
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }
    return {-1, childError};
  }
  return {options.detach ? 0 : pid, 0};
}

int DecodeStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

bool MakeExecutable(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  mode_t mode = st.st_mode & 07777;
  mode |= (mode & 0444) >> 2;
  return chmod(path.c_str(), mode) == 0;
}

bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::optional<DesktopUser> UserToDropTo() {
  if (geteuid() != 0) return std::nullopt;
  std::optional<DesktopUser> user = GetDesktopUser();
  if (!user || user->uid == geteuid()) return std::nullopt;
  return user;
}

SpawnResult Spawn(const std::vector<std::string>& argv, const SpawnOptions& options) {
  if (argv.empty() || argv[0].empty()) return {-1, EINVAL};
  std::string file = ResolveProgram(argv[0], options.searchPath);
  if (file.empty()) return {-1, ENOENT};
  std::optional<DesktopUser> user = options.asUser;
  if (user && user->uid == geteuid()) user.reset();
  if (user && geteuid() != 0) return {-1, EPERM};
  SpawnOptions effective = options;
  effective.asUser = user;
  CStrings args(argv);
  CStrings env(EnvironmentFor(user));
  if (!user && !options.detach) return SpawnPlain(file, args, env, effective);
  return SpawnForked(file, args, env, effective);
}

int WaitForExit(pid_t pid) {
  if (pid <= 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return DecodeStatus(status);
}

std::optional<int> WaitForExitWithin(pid_t pid, std::chrono::milliseconds limit) {
  if (pid <= 0) return std::nullopt;
  auto deadline = std::chrono::steady_clock::now() + limit;
  int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  int status = 0;
  for (;;) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      if (pidfd >= 0) close(pidfd);
      return DecodeStatus(status);
    }
    if (done < 0 && errno != EINTR) {
      if (pidfd >= 0) close(pidfd);
      return std::nullopt;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    if (pidfd >= 0) {
      pollfd p{pidfd, POLLIN, 0};
      poll(&p, 1, static_cast<int>(std::min<int64_t>(left.count(), 1000)));
    } else {
      // Kernels without pidfd: look again every few milliseconds until the deadline.
      std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(5)));
    }
  }
  if (pidfd >= 0) close(pidfd);
  if (getpgid(pid) == pid) kill(-pid, SIGKILL);
  kill(pid, SIGKILL);
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return std::nullopt;
}

HeldFile::~HeldFile() {
  Close();
}

int HeldFile::Open(const std::string& path) {
  Close();
  fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return errno;
  return 0;
}

void HeldFile::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool WriteFileWithMode(const std::string& path, const std::string& bytes, mode_t mode) {
  // A link in the file's place is refused; any other file under the name goes first (one someone
  // else made or linked is never reused), then the file is made anew, by us alone.
  struct stat st;
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return false;
  if (unlink(path.c_str()) != 0 && errno != ENOENT) return false;
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      close(fd);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  // The mode given at creation is reduced by the umask.
  bool ok = fchmod(fd, mode) == 0;
  return close(fd) == 0 && ok;
}

}  // namespace nuv::os
