// Posts one form body to a collector URL.
#pragma once

#include <map>
#include <string>

namespace analytics_sdk {

struct SenderReply {
  int status = -1;  // HTTP status, or -1 when the transfer failed (body = libcurl's error text)
  std::string body;
  std::map<std::string, std::string> headers;  // a line without ':' is stored as "present"
};

class RecordSender {
 public:
  static constexpr long kTimeoutSeconds = 3;
  static constexpr const char* kUserAgent = "Analytics CPP SDK 0.8";

  // A non-empty cookie is sent as the "Cookie" header. TLS peers are verified (NUV_CA_BUNDLE
  // names an extra CA bundle); redirects are not followed.
  SenderReply Post(const std::string& url, const std::string& body,
                   const std::string& cookie = {}) const;
};

}  // namespace analytics_sdk
