// The maker's service API: client token, log and ticket uploads, log white list and report,
// support tickets, the product-series post and the retention query and apply. Without a test's
// choices it answers like the real service (a token for the right secret, "code" 0, 401 for a
// wrong bearer); any path can be given another answer per listening address, so one server with
// two addresses stands in for the primary and the fallback API host.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "testbed/side.h"

namespace testbed {

struct ServiceAnswer {
  int status = 200;
  std::string body;  // sent as application/json; empty sends no body
  int delayMs = 0;   // wait this long first (a service that does not answer in time)
};

// One file that arrived at an upload endpoint.
struct ServiceUpload {
  std::string path;
  std::string localAddress;
  std::string fieldName;
  std::string fileName;
  std::string content;
};

class ServiceApiSide : public Side {
 public:
  static constexpr const char* kTokenPath = "/v3/user/client/token";
  static constexpr const char* kLogUploadPath = "/v1/product/downloader/upload-log-file";
  static constexpr const char* kWhiteListPath = "/v1/product/logs/whitelist";
  static constexpr const char* kLogReportPath = "/v1/product/logs/report";
  static constexpr const char* kTicketUploadPath = "/v1/crm/ticket/file/upload";
  static constexpr const char* kTicketPath = "/v1/support/tickets";
  static constexpr const char* kSeriesPath = "/v1/product/series";
  static constexpr const char* kRecoveryPath = "/v1/product/downloader/recovery";
  static constexpr const char* kAppKey = "c3a1f0e7b295d4806e1f2a9c.mock";
  static constexpr const char* kAppSecret = "Wq7RzN2kLmV5sT8yHd3GxJ6bFc9PuE4aKn";

  // The token the token endpoint hands out and every other endpoint requires as bearer.
  void SetToken(const std::string& token);
  std::string Token() const;

  // Answers path with this instead of the built-in behaviour, on requests that arrived on address
  // ("" every address; an answer for the exact address wins).
  void SetAnswer(const std::string& path, const ServiceAnswer& answer,
                 const std::string& address = "");
  // Shorthand for {"code":N,"msg":"set by test"} with status 200.
  void SetCode(const std::string& path, int code, const std::string& address = "");
  void ClearAnswers();

  // The JSON text the retention query answers as "data" ("null" until set).
  void SetStrategy(const std::string& dataJson);

  std::vector<ServiceUpload> Uploads() const;

  // The body of a built-in upload answer for the n-th upload (1-based), as the client receives it.
  static std::string UploadReply(int n, const std::string& fileName);

  bool Handle(const httplib::Request& req, httplib::Response& res,
              const ServeContext& ctx) override;

 private:
  bool IsServicePath(const std::string& path) const;
  ServiceAnswer BuiltIn(const httplib::Request& req);

  mutable std::mutex lock_;  // guards everything below
  std::string token_ = "tb-token-1";
  std::map<std::pair<std::string, std::string>, ServiceAnswer> answers_;  // (address, path)
  std::string strategy_ = "null";
  std::vector<ServiceUpload> uploads_;
  int reports_ = 0;
};

}  // namespace testbed
