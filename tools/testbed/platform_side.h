// The maker's platform server: so far the track report endpoint, which keeps every report posted
// to it. (The runtime configuration and the visitor id join this side.)
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "testbed/side.h"

namespace testbed {

struct TrackReportRecord {
  std::string clientSign;  // the decoded "client_sign" query parameter
  std::string rawQuery;    // as sent
  std::string contentType;
  std::string httpVersion;  // "HTTP/1.0", "HTTP/1.1"
  std::string body;         // the JSON document, byte for byte
};

class PlatformSide : public Side {
 public:
  // basePath: the path of the platform base URL the client is given, with leading and trailing
  // '/'; the endpoints live below it.
  explicit PlatformSide(std::string basePath = "/");

  std::vector<TrackReportRecord> TrackReports() const;
  // Waits until at least count reports arrived or the time-out passed; returns whether they did.
  bool WaitForTrackReports(size_t count, std::chrono::milliseconds timeout) const;
  void Clear();

  bool Handle(const httplib::Request& req, httplib::Response& res,
              const ServeContext& ctx) override;

 private:
  const std::string basePath_;
  mutable std::mutex lock_;  // guards reports_
  mutable std::condition_variable changed_;
  std::vector<TrackReportRecord> reports_;
};

}  // namespace testbed
