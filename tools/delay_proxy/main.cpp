// delay_proxy --listen HOST:PORT --upstream HOST:PORT --delay-ms N [--window BYTES]
// A TCP relay that makes loopback look like a link with a round trip of 2*N ms and a TCP window.
#include <cstdio>
#include <string>

#include "options.h"
#include "proxy.h"

int main(int argc, char** argv) {
  std::string error;
  std::optional<delay_proxy::Options> options = delay_proxy::ParseOptions(argc, argv, error);
  if (!options) {
    std::fprintf(stderr,
                 "delay_proxy: %s\nusage: delay_proxy --listen HOST:PORT --upstream HOST:PORT "
                 "--delay-ms N [--window BYTES]\n",
                 error.c_str());
    return 2;
  }
  delay_proxy::Proxy proxy(*options);
  if (!proxy.Start(error)) {
    std::fprintf(stderr, "delay_proxy: %s\n", error.c_str());
    return 1;
  }
  // The one line it prints: callers wait for it to know the port is open.
  std::printf("listening on %s\n", proxy.ListenAddress().c_str());
  std::fflush(stdout);
  if (!proxy.Run()) {
    std::perror("delay_proxy: epoll_wait");
    return 1;
  }
  return 0;
}
