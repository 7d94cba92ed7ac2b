#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "testbed/fetch.h"
#include "testbed/testbed.h"

namespace testbed {
namespace {

bool BringLoopbackUp() {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) return false;
  ifreq ifr{};
  std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
  bool ok = ioctl(fd, SIOCGIFFLAGS, &ifr) == 0;
  ifr.ifr_flags |= IFF_UP;
  ok = ok && ioctl(fd, SIOCSIFFLAGS, &ifr) == 0;
  close(fd);
  return ok;
}

// In a private network namespace the well-known ports are free: serve them on two addresses, the
// way a package host is reached by URL without a port.
int ServeWellKnownPortsInNamespace() {
  alarm(60);  // a hung child must not hang the test
  if (unshare(CLONE_NEWNET) != 0) return 77;
  if (!BringLoopbackUp()) return 2;
  for (bool tls : {false, true}) {
    Server server;
    server.Packages().AddGenerated("/p.bin", 5000, 9);
    ServerOptions options;
    options.addresses = {"127.0.0.2", "127.0.0.3"};
    options.port = tls ? 443 : 80;
    options.tls = tls;
    if (!server.Start(options)) return 3;
    for (const std::string& address : options.addresses) {
      std::string url = std::string(tls ? "https://" : "http://") + address + "/p.bin";
      FetchResult r = Fetch(url, FetchOptions().Ca(server.CaBundlePath()));
      if (r.code != CURLE_OK || r.body != PatternBytes(9, 0, 5000)) return 4;
    }
    auto log = server.Requests();
    if (log.size() != 2 || log[1].localAddress != "127.0.0.3" || log[1].localPort != options.port) {
      return 5;
    }
  }
  return 0;
}

TEST(NetworkNamespace, ServesPorts80And443OnSeveralLoopbackAddresses) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root for a network namespace";
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(ServeWellKnownPortsInNamespace());
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "network namespaces are not available";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace testbed
