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
}

bool PlatformSide::Handle(const httplib::Request& req, httplib::Response& res,
                          const ServeContext&) {
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
