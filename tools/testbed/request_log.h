// Every request the server received, in arrival order, for tests to read and wait on. A request is
// recorded as it arrives, before it is answered; only requests so malformed that the HTTP library
// answers them itself are recorded just after their answer.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace testbed {

struct RecordedRequest {
  uint64_t index = 0;  // 0, 1, 2 ... in arrival order
  std::string method;
  std::string path;   // decoded, without the query
  std::string query;  // raw text after '?', empty when none
  // As they came on the wire, in order, names as the client wrote them.
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;  // filled once the body has been read (POST/PUT)
  std::string localAddress;
  int localPort = 0;
  std::string remoteAddress;
  int remotePort = 0;
  bool tls = false;
  int status = 0;             // the answer's status once it is chosen; 0 before
  bool finished = false;      // the answer has been sent, cut off or given up
  int64_t bodyBytesSent = 0;  // body bytes that went out, once finished
  std::chrono::system_clock::time_point time;

  // Value of the first header with this name (case-insensitive), "" when absent.
  std::string Header(const std::string& name) const;
  bool HasHeader(const std::string& name) const;
  // Value of a query parameter as sent (not decoded), "" when absent.
  std::string QueryParam(const std::string& name) const;
};

class RequestLog {
 public:
  using Predicate = std::function<bool(const std::vector<RecordedRequest>&)>;

  // Returns the new record's index.
  uint64_t Add(RecordedRequest request);
  void SetStatus(uint64_t index, int status);
  void SetBody(uint64_t index, std::string body);
  void SetFinished(uint64_t index, int64_t bodyBytesSent);

  std::vector<RecordedRequest> Snapshot() const;
  size_t Count() const;
  void Clear();

  // Waits until pred holds over the records (checked at once and after every change) or the
  // time-out passes; returns whether it held.
  bool WaitFor(const Predicate& pred, std::chrono::milliseconds timeout) const;

 private:
  RecordedRequest* Find(uint64_t index);

  mutable std::mutex lock_;  // guards records_ and nextIndex_
  mutable std::condition_variable changed_;
  std::vector<RecordedRequest> records_;
  uint64_t nextIndex_ = 0;
};

}  // namespace testbed
