// One remote party the testbed stands in for (package server, HTTP DNS, ...). The server offers
// each request to its sides in order; the first that answers it wins.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

namespace testbed {

struct ServeContext {
  std::string localAddress;                     // the loopback address the request arrived on
  const std::atomic<bool>* stopping = nullptr;  // set when the server shuts down
  int64_t maxHoldMs = 0;  // longest time an answer may hold a connection without sending
  // Sides that stream a body add what they sent; the request's record gets the total.
  std::shared_ptr<std::atomic<int64_t>> bodyBytesSent;
  int connectionFd = -1;  // the socket the request came on, to watch for the peer leaving
};

class Side {
 public:
  virtual ~Side() = default;
  // Fills res and returns true when the request belongs to this side.
  virtual bool Handle(const httplib::Request& req, httplib::Response& res,
                      const ServeContext& ctx) = 0;
};

}  // namespace testbed
