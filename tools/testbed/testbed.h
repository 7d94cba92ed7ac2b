// A local stand-in for the maker's cloud: a real HTTP(S) server on loopback addresses whose sides
// (package server, HTTP DNS, ...) answer like the remote parties, and which records every request.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "testbed/canned_side.h"
#include "testbed/faults.h"
#include "testbed/http_dns_side.h"
#include "testbed/package_side.h"
#include "testbed/pattern.h"
#include "testbed/request_log.h"

namespace testbed {

struct ServerOptions {
  // Every address is served on the same port.
  std::vector<std::string> addresses = {"127.0.0.1"};
  int port = 0;  // 0: a free one, see Server::Port()
  bool tls = false;
  // Names and addresses the certificate covers besides "localhost", "127.0.0.1" and the
  // listening addresses.
  std::vector<std::string> certificateNames;
  // Longest time a stalled answer holds its connection.
  std::chrono::milliseconds maxHold{std::chrono::seconds(120)};
};

class Server {
 public:
  Server();
  ~Server();  // stops
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Binds every address and starts serving; false (and nothing running) when any bind fails.
  bool Start(const ServerOptions& options = {});
  // Ends stalled answers, closes the listeners and joins every thread. Safe to call twice.
  void Stop();
  bool Running() const;

  int Port() const;
  const std::vector<std::string>& Addresses() const;
  // "http://127.0.0.1:PORT" (or https), for the first address when none is given.
  std::string BaseUrl(const std::string& address = "") const;
  std::string Url(const std::string& path, const std::string& address = "") const;
  // The CA bundle that verifies this server (empty for plain HTTP).
  std::string CaBundlePath() const;

  PackageSide& Packages();
  HttpDnsSide& HttpDns();
  CannedSide& Canned();
  RequestLog& Log();
  // A further party; added sides are asked first, in the order they were added. Any time.
  void AddSide(std::shared_ptr<Side> side);

  // Shorthands over Log().
  std::vector<RecordedRequest> Requests() const;
  bool WaitFor(const RequestLog::Predicate& pred, std::chrono::milliseconds timeout) const;
  // Waits until at least count requests with this method ("" any) and path ("" any) arrived.
  bool WaitForRequests(size_t count, const std::string& method, const std::string& path,
                       std::chrono::milliseconds timeout) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace testbed
