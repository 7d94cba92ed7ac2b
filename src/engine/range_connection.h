// One byte range of the package over one HTTP(S) connection: its own libcurl easy handle on its
// own thread, written into the temporary file through the downloader's IFileWriter.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "engine/package_file.h"

namespace ns_NUK {

enum ConnectionState : int {
  kConnCreated = -1,
  kConnRunning = 1,
  kConnPaused = 2,
  kConnCancelled = 3,
  kConnCompleted = 4,
  kConnFailed = 5,
  kConnException = 6,  // the transfer ended cleanly before its range was complete
};

inline bool IsFinalState(int s) {
  return s >= kConnCancelled && s <= kConnException;
}

// Why a connection refused the server's answer instead of writing it.
enum RefusedReason : int {
  kRefusedNone = 0,
  kRefusedHttpStatus = 1,    // not a 2xx answer: its body is an error page
  kRefusedIgnoredRange = 2,  // 200 to a range that does not start at 0
  kRefusedContentRange = 3,  // 206 for another start or another file size
  kRefusedDisablePage = 4,   // redirected to a "disable.htm" page
  kRefusedWriteError = 5,    // the file write failed: later data would land at a wrong offset
};

// Told by a connection's transfer thread, as its last act, that the connection has reached its
// final state and will write no more.
class IConnectionEndSink {
 public:
  virtual ~IConnectionEndSink() = default;
  virtual void OnConnectionEnded() = 0;
};

class RangeConnection {
 public:
  RangeConnection() = default;
  ~RangeConnection();
  RangeConnection(const RangeConnection&) = delete;
  RangeConnection& operator=(const RangeConnection&) = delete;

  bool Init(const std::string& url, int64_t start, int64_t end, const std::string& ip,
            const std::u16string& tempFileName);
  bool Start();
  bool Cancel();
  // Paused -> running (the downloader's resume).
  bool Resume();
  // Marks a connection whose Init failed as failed, so the downloader does not wait for it.
  void FailUnstarted();
  // A connection created after its task was cancelled: it keeps its range for the resume record
  // but never runs.
  void CancelUnstarted();

  int64_t EffectiveEnd() const;
  int64_t Remaining() const;
  // Lowers the end for a split; clamps downloaded to the shortened range. Returns false when the
  // range has already passed the new end's start.
  void LowerEnd(int64_t newEnd);

  int64_t StartOffset() const { return start_; }
  int64_t End() const { return end_.load(); }
  int64_t Downloaded() const { return downloaded_.load(); }
  int64_t Saved() const { return saved_.load(); }
  int State() const { return state_.load(); }
  const std::string& Ip() const { return ip_; }
  // Valid once the transfer thread has ended.
  std::string EffectiveUrl() const;
  int CurlResult() const { return curlResult_.load(); }
  int HttpCode() const { return httpCode_.load(); }
  int Refused() const { return refused_.load(); }
  bool Connected() const { return connected_.load(); }
  bool ThreadDone() const { return threadDone_.load(); }
  void Join();

  void SetTotal(int64_t total) { total_.store(total); }
  void SetBufferSize(int64_t size) { bufferSize_ = size; }
  void SetWriter(IFileWriter* writer) { writer_ = writer; }
  // Set before Start.
  void SetEndSink(IConnectionEndSink* sink) { endSink_ = sink; }
  bool handled = false;   // set by the downloader when it processed this connection's end
  bool replaced = false;  // set by the downloader when another connection took over the rest

 private:
  static size_t OnData(char* data, size_t size, size_t count, void* self);
  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
  size_t HandleData(const char* data, size_t n);
  bool AcceptAnswer();
  int HandleProgress();
  void Flush(const char* data, int64_t length);
  void SetState(int s);
  void LogState(int s);
  void Run();
  static int64_t NowMs();

  CURL* handle_ = nullptr;
  curl_slist* resolveList_ = nullptr;
  curl_slist* headerList_ = nullptr;
  int64_t start_ = 0;
  std::atomic<int64_t> end_{-1};
  std::atomic<int64_t> downloaded_{0};
  std::atomic<int64_t> saved_{0};
  std::atomic<int64_t> lastActivityMs_{0};
  std::string url_;
  std::string effectiveUrl_;
  std::string host_;
  std::string ip_;
  std::u16string tempFileName_;
  std::atomic<int> state_{kConnCreated};
  char* buffer_ = nullptr;  // touched by the transfer thread only
  int64_t bufferFill_ = 0;
  std::atomic<int64_t> startTime_{0};
  std::atomic<int64_t> endTime_{0};
  std::atomic<double> speed_{0};
  std::atomic<int64_t> total_{0};
  std::atomic<int> curlResult_{CURLE_OK};
  std::thread thread_;
  int64_t bufferSize_ = 0x500000;
  std::atomic<int> httpCode_{0};
  IFileWriter* writer_ = nullptr;
  IConnectionEndSink* endSink_ = nullptr;
  std::mutex rangeLock_;  // end and downloaded change together (data handler vs. split)
  mutable std::mutex urlLock_;
  std::atomic<int> refused_{kRefusedNone};
  std::atomic<bool> connected_{false};
  std::atomic<bool> threadDone_{false};
  bool answerChecked_ = false;
  bool writeFailed_ = false;
  std::string contentRange_;  // the answer's Content-Range value, from the header handler
};

}  // namespace ns_NUK
