#include "testbed/canned_side.h"

#include <httplib.h>

#include "testbed/conn_watch.h"

namespace testbed {

void CannedSide::Set(const std::string& method, const std::string& path,
                     const CannedAnswer& answer) {
  std::lock_guard<std::mutex> guard(lock_);
  answers_[{method, path}] = answer;
}

void CannedSide::Clear() {
  std::lock_guard<std::mutex> guard(lock_);
  answers_.clear();
}

bool CannedSide::Handle(const httplib::Request& req, httplib::Response& res,
                        const ServeContext& ctx) {
  CannedAnswer answer;
  {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = answers_.find({req.method, req.path});
    if (it == answers_.end()) it = answers_.find({"", req.path});
    if (it == answers_.end()) return false;
    answer = it->second;
  }
  if (answer.delayMs > 0 &&
      !PausePolitely(std::chrono::milliseconds(answer.delayMs), *ctx.stopping)) {
    res.status = 503;
    return true;
  }
  res.status = answer.status;
  for (const auto& [name, value] : answer.headers) res.set_header(name, value);
  if (!answer.body.empty()) res.set_content(answer.body, answer.contentType);
  return true;
}

}  // namespace testbed
