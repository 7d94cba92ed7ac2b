#include "testbed/request_log.h"

#include <strings.h>

namespace testbed {

std::string RecordedRequest::Header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
  }
  return "";
}

bool RecordedRequest::HasHeader(const std::string& name) const {
  for (const auto& header : headers) {
    if (strcasecmp(header.first.c_str(), name.c_str()) == 0) return true;
  }
  return false;
}

std::string RecordedRequest::QueryParam(const std::string& name) const {
  size_t start = 0;
  while (start <= query.size()) {
    size_t end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    std::string item = query.substr(start, end - start);
    size_t eq = item.find('=');
    if (item.substr(0, eq) == name) return eq == std::string::npos ? "" : item.substr(eq + 1);
    start = end + 1;
  }
  return "";
}

uint64_t RequestLog::Add(RecordedRequest request) {
  std::lock_guard<std::mutex> guard(lock_);
  request.index = nextIndex_++;
  records_.push_back(std::move(request));
  changed_.notify_all();
  return records_.back().index;
}

RecordedRequest* RequestLog::Find(uint64_t index) {
  // Indexes grow with position; Clear() only drops a prefix's worth, so search from the back.
  for (auto it = records_.rbegin(); it != records_.rend(); ++it) {
    if (it->index == index) return &*it;
    if (it->index < index) break;
  }
  return nullptr;
}

void RequestLog::SetStatus(uint64_t index, int status) {
  std::lock_guard<std::mutex> guard(lock_);
  if (RecordedRequest* r = Find(index)) r->status = status;
  changed_.notify_all();
}

void RequestLog::SetBody(uint64_t index, std::string body) {
  std::lock_guard<std::mutex> guard(lock_);
  if (RecordedRequest* r = Find(index)) r->body = std::move(body);
  changed_.notify_all();
}

void RequestLog::SetFinished(uint64_t index, int64_t bodyBytesSent) {
  std::lock_guard<std::mutex> guard(lock_);
  if (RecordedRequest* r = Find(index)) {
    r->finished = true;
    r->bodyBytesSent = bodyBytesSent;
  }
  changed_.notify_all();
}

std::vector<RecordedRequest> RequestLog::Snapshot() const {
  std::lock_guard<std::mutex> guard(lock_);
  return records_;
}

size_t RequestLog::Count() const {
  std::lock_guard<std::mutex> guard(lock_);
  return records_.size();
}

void RequestLog::Clear() {
  std::lock_guard<std::mutex> guard(lock_);
  records_.clear();
  changed_.notify_all();
}

bool RequestLog::WaitFor(const Predicate& pred, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> guard(lock_);
  return changed_.wait_for(guard, timeout, [&] { return pred(records_); });
}

}  // namespace testbed
