#include "testbed/platform_side.h"

#include <httplib.h>

#include <utility>

namespace testbed {

PlatformSide::PlatformSide(std::string basePath) : basePath_(std::move(basePath)) {}

std::vector<TrackReportRecord> PlatformSide::TrackReports() const {
  std::lock_guard<std::mutex> guard(lock_);
  return reports_;
}

bool PlatformSide::WaitForTrackReports(size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(lock_);
  return changed_.wait_for(lock, timeout, [&] { return reports_.size() >= count; });
}

void PlatformSide::Clear() {
  std::lock_guard<std::mutex> guard(lock_);
  reports_.clear();
  runtimeQueries_.clear();
}

void PlatformSide::SetRuntimeXml(const std::string& productId, const std::string& body) {
  std::lock_guard<std::mutex> guard(lock_);
  runtime_[productId] = body;
}

void PlatformSide::SetStaticFile(const std::string& path, const std::string& body) {
  std::lock_guard<std::mutex> guard(lock_);
  static_[path] = body;
}

void PlatformSide::SetVisitorReply(const std::string& productId, const std::string& body) {
  std::lock_guard<std::mutex> guard(lock_);
  visitor_[productId] = body;
}

std::vector<std::string> PlatformSide::RuntimeQueries() const {
  std::lock_guard<std::mutex> guard(lock_);
  return runtimeQueries_;
}

// Answers GET requests from one of the tables: the key's body, or the fallback status/body.
bool PlatformSide::HandleGet(const httplib::Request& req, httplib::Response& res) {
  std::lock_guard<std::mutex> guard(lock_);
  if (req.path == basePath_ + "rest/v2/downloader/runtime/") {
    const size_t q = req.target.find('?');
    runtimeQueries_.push_back(q == std::string::npos ? std::string() : req.target.substr(q + 1));
    auto it = runtime_.find(req.get_param_value("product_id"));
    if (it == runtime_.end()) {
      res.status = 404;
      return true;
    }
    res.status = 200;
    res.set_content(it->second, "text/xml");
    return true;
  }
  if (req.path == "/api/v1/prodweb/trk") {
    auto it = visitor_.find(req.get_param_value("pid"));
    res.status = 200;
    res.set_content(it == visitor_.end() ? std::string("{\"code\":1}") : it->second,
                    "application/json");
    return true;
  }
  auto it = static_.find(req.path);
  if (it == static_.end()) return false;
  res.status = 200;
  res.set_content(it->second, "text/xml");
  return true;
}

bool PlatformSide::Handle(const httplib::Request& req, httplib::Response& res,
                          const ServeContext&) {
  if (req.method == "GET" && HandleGet(req, res)) return true;
  if (req.path != basePath_ + "rest/v2/downloader/track") return false;
  if (req.method != "POST") {
    res.status = 405;
    return true;
  }
  TrackReportRecord record;
  record.clientSign = req.get_param_value("client_sign");
  const size_t q = req.target.find('?');
  if (q != std::string::npos) record.rawQuery = req.target.substr(q + 1);
  record.contentType = req.get_header_value("Content-Type");
  record.httpVersion = req.version;
  record.body = req.body;
  {
    std::lock_guard<std::mutex> guard(lock_);
    reports_.push_back(std::move(record));
  }
  changed_.notify_all();
  // The client does not read the answer; this is what the real server says to a good report.
  res.status = 200;
  res.set_content("{\"code\":0,\"msg\":\"ok\"}", "application/json");
  return true;
}

}  // namespace testbed
