// The maker's platform server: the track report endpoint, which keeps every report posted to it,
// the runtime configuration (per product, or as a static file), and the product web service's
// visitor-id endpoint.
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
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

  // The reply of GET <base>rest/v2/downloader/runtime/ for that "product_id" (404 without one).
  void SetRuntimeXml(const std::string& productId, const std::string& body);
  // The reply of GET <path> (a static file such as "/pkg/xml/a1_c2.xml").
  void SetStaticFile(const std::string& path, const std::string& body);
  // The reply of GET /api/v1/prodweb/trk for that "pid"; {"code":1} without one.
  void SetVisitorReply(const std::string& productId, const std::string& body);
  // Raw queries of the runtime requests, in arrival order.
  std::vector<std::string> RuntimeQueries() const;

  bool Handle(const httplib::Request& req, httplib::Response& res,
              const ServeContext& ctx) override;

 private:
  bool HandleGet(const httplib::Request& req, httplib::Response& res);

  const std::string basePath_;
  mutable std::mutex lock_;  // guards reports_
  mutable std::condition_variable changed_;
  std::vector<TrackReportRecord> reports_;
  std::map<std::string, std::string> runtime_, static_, visitor_;  // guarded by lock_
  std::vector<std::string> runtimeQueries_;                        // guarded by lock_
};

}  // namespace testbed
