// The HTTP DNS service: signed GET /resolve queries answered with a JSON array of addresses.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "testbed/side.h"

namespace testbed {

struct HttpDnsCredentials {
  std::string uid;
  std::string ak;
  std::string secret;
};

class HttpDnsSide : public Side {
 public:
  HttpDnsSide();

  void SetCredentials(const HttpDnsCredentials& credentials);
  HttpDnsCredentials Credentials() const;
  // The addresses answered for name; an empty list answers "[]".
  void SetAnswer(const std::string& name, const std::vector<std::string>& addresses);
  void ClearAnswers();

  // The key a client must send: lower-case hex SHA-256 of uid + secret + ts + name + ak.
  static std::string Signature(const HttpDnsCredentials& credentials, const std::string& ts,
                               const std::string& name);
  // The full query (path and parameters) a correct client sends for name at time ts.
  static std::string SignedQuery(const HttpDnsCredentials& credentials, const std::string& name,
                                 const std::string& ts);

  bool Handle(const httplib::Request& req, httplib::Response& res,
              const ServeContext& ctx) override;

 private:
  mutable std::mutex lock_;  // guards credentials_ and answers_
  HttpDnsCredentials credentials_;
  std::map<std::string, std::vector<std::string>> answers_;
};

}  // namespace testbed
