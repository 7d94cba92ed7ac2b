// Fixed answers for chosen method and path, for parties that have no side of their own yet and for
// tests that need one odd reply.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "testbed/side.h"

namespace testbed {

struct CannedAnswer {
  int status = 200;
  std::string body;
  std::string contentType = "text/plain";
  std::vector<std::pair<std::string, std::string>> headers;
  int delayMs = 0;  // wait this long before answering (a slow or hanging party)
};

class CannedSide : public Side {
 public:
  // method "" matches every method; a later answer for the same method and path replaces it.
  void Set(const std::string& method, const std::string& path, const CannedAnswer& answer);
  void Clear();

  bool Handle(const httplib::Request& req, httplib::Response& res,
              const ServeContext& ctx) override;

 private:
  std::mutex lock_;  // guards answers_
  std::map<std::pair<std::string, std::string>, CannedAnswer> answers_;
};

}  // namespace testbed
