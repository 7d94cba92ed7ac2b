// The command line: --listen HOST:PORT --upstream HOST:PORT --delay-ms N [--window BYTES].
#pragma once

#include <sys/socket.h>

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace delay_proxy {

struct Address {
  sockaddr_storage storage{};
  socklen_t length = 0;
};

struct Options {
  Address listen;
  Address upstream;
  std::chrono::milliseconds delay{0};  // one way
  std::size_t window = 4u << 20;       // bytes in flight per direction
};

// Numeric addresses only ("127.0.0.1:80", "[::1]:80"): the proxy never resolves names.
std::optional<Address> ParseAddress(const std::string& text);
// Empty with `error` set when the command line is wrong.
std::optional<Options> ParseOptions(int argc, char** argv, std::string& error);

}  // namespace delay_proxy
